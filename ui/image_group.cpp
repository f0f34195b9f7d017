#include "ui/image_group.h"

#include <algorithm>

#include "platform/app_instance.h"
#include "ui/svg_icon_cache.h"

void rg_DrenvikTuPianZu::Grow(int index) {
    size_t n = size_t(index) + 1;
    if (pictures.size() < n) pictures.resize(n);
    if (transparentColours.size() < n) transparentColours.resize(n, 0);
    if (pictureSources.size() < n) pictureSources.resize(n);
}

int rg_DrenvikTuPianZu::SetItemImage(int index, int resourceId, const CVolMem& bytes, int width, int height,
                                     bool noScale, bool noRecompute) {
    if (width == 0 && height == 0) return -1;
    if (index < 0) return -1;
    Grow(index);
    int w = width ? width : height;
    int h = height ? height : w;
    CVolMem source = bytes;
    if (w == -1 || h == -1) {
        if (source.IsEmpty()) CVolAppInstance::LoadResourceData(source, resourceId, CVolAppInstance::kResourceRcData);
        pictureSources[size_t(index)] = std::move(source);
        return index;
    }
    if (resourceId == 0 && source.IsEmpty()) {
        if (pictureSources[size_t(index)].IsEmpty()) return index;
        source = pictureSources[size_t(index)];
    }
    Render(index, resourceId, std::move(source), w, h, noScale);
    if (!noRecompute) RecomputeSizes();
    return index;
}

void rg_DrenvikTuPianZu::Render(int index, int resourceId, CVolMem bytes, int w, int h, bool noScale) {
    // The cache fills an empty block with the resource's bytes; keeping them as the source lets a
    // later font or icon-size change render this picture again (the cache key is the same).
    CVolMem image = GetSvgIcon(bytes, resourceId, w, h, 0, noScale, 0);
    rg_WeiTuDuiXiangLei picture;
    if (HBITMAP b = image.IsEmpty() ? nullptr : LoadPictureFromBytes(image.GetPtr(), image.GetSize()))
        picture.Attach(b, true);
    pictures[size_t(index)] = std::move(picture);
    transparentColours[size_t(index)] = 0;
    pictureSources[size_t(index)] = std::move(bytes);
}

void rg_DrenvikTuPianZu::RenderAll(int width, int height, bool noScale) {
    for (int i = 0; i < int(pictureSources.size()); ++i) SetItemImage(i, 0, CVolMem(), width, height, noScale, true);
    RecomputeSizes();
}

void rg_DrenvikTuPianZu::RecomputeSizes() {
    widestPicture = tallestPicture = 0;
    for (int i = 0; i < GetCount(); ++i) {
        widestPicture = std::max(widestPicture, GetPictureWidth(i));
        tallestPicture = std::max(tallestPicture, GetPictureHeight(i));
    }
}

const rg_WeiTuDuiXiangLei* rg_DrenvikTuPianZu::GetPicture(int index) const {
    if (index < 0 || index >= GetCount() || pictures[size_t(index)].IsEmpty()) return nullptr;
    return &pictures[size_t(index)];
}

int rg_DrenvikTuPianZu::GetPictureWidth(int index) const {
    if (fixedWidth) return fixedWidth;
    int w = 0, h = 0;
    if (const rg_WeiTuDuiXiangLei* p = GetPicture(index)) p->GetSize(w, h);
    return w;
}

int rg_DrenvikTuPianZu::GetPictureHeight(int index) const {
    if (fixedHeight) return fixedHeight;
    int w = 0, h = 0;
    if (const rg_WeiTuDuiXiangLei* p = GetPicture(index)) p->GetSize(w, h);
    return h;
}
