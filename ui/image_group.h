// The combo box's item icons: picture bytes (SVG or any picture) rendered to bitmaps at one icon
// size through the SVG icon cache, indexed from 0.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/picture.h"

using PictureList = std::vector<rg_WeiTuDuiXiangLei>;
using PictureSourceList = std::vector<CVolMem>;
// Both lists compare by identity, copy their entries and are not streamed.
template <> struct VolMember<PictureList> : VolUnstreamedMember<PictureList> {};
template <> struct VolMember<PictureSourceList> : VolUnstreamedMember<PictureSourceList> {};

class rg_DrenvikTuPianZu : public CVolObject {
    VOL_CLASS(rg_DrenvikTuPianZu, CVolObject, "ui::rg_DrenvikTuPianZu")
    VOL_MEMBERS(widestPicture, tallestPicture, pictures, transparentColours, fixedWidth, fixedHeight, pictureSources)

public:
    // Stores the picture of `index` from a resource id or bytes and renders it at width x height
    // (one of them 0: square; -1: store only). Returns the index, or -1 for a 0 x 0 size.
    int SetItemImage(int index, int resourceId, const CVolMem& bytes, int width, int height, bool noScale,
                     bool noRecompute);
    // Renders every stored source again at the size.
    void RenderAll(int width, int height, bool noScale);
    void RecomputeSizes();
    int GetPictureWidth(int index) const;
    int GetPictureHeight(int index) const;
    int GetCount() const noexcept { return int(pictures.size()); }
    // The picture of an index, or null when there is none.
    const rg_WeiTuDuiXiangLei* GetPicture(int index) const;

    int widestPicture = 0;
    int tallestPicture = 0;
    PictureList pictures;
    std::vector<int32_t> transparentColours;  // 0 or -1: whole picture; else the colour left out
    int fixedWidth = 0;
    int fixedHeight = 0;
    PictureSourceList pictureSources;  // the bytes each picture is rendered from

private:
    void Grow(int index);
    void Render(int index, int resourceId, CVolMem bytes, int w, int h, bool noScale);
};
