#include "app/globals.h"

CWString gAboutText;
CWString gProductName;
const CWString gEmptyText;

CWString BuildAboutText() {
    const wchar_t* paragraphs[] = {
        L"Drenvik（https://www.drenvik.com）出品。本软件是本地部署的 Ollama 的可视化管理界面（使用本软件之前需要先下载安装 Ollama）。",
        L"Ollama是开源社区推出的开源大模型（比如DeepSeek-R1）本地快速部署后台，可以让普通人都能部署开源大模型来对话或提供接口给外部程序调用。",
        L"Ollama是命令行管理模式，普通人用起来还是有点麻烦，所以本软件就出来了，进一步简化操作流程，提供可视化管理，操作简单！快速对话。",
        L"1、如果你还没安装Ollama，右上角点击【Ollama下载】进去下载安装。",
        L"2、在Ollama官网找到需要下载的模型名称，填入本软件的模型名称框（或弹出列表选择一个预置名称），点击【下载指定模型】按钮就会打开cmd界面开始下载。",
        L"3、在下载、删除、复制或创建模型之后，请点击一次【刷新模型列表】按钮",
        L"4、模型列表选择一个模型，即可快速对话。",
        L"注意：下载的模型需要适配你电脑显卡，比如英伟达4080S可以下载【DeepSeek-R1:14b】顺畅运行，14b就是140亿大概9GB，，参数量高了就可能卡顿或无法运行。",
    };
    CWString text;
    for (const wchar_t* p : paragraphs) text += CWString(p) + L"\r\n\r\n";
    text += CWString(L"Ollama官网：") + kOllamaHomePage + L"\r\nOllama下载地址：" + kOllamaDownloadAddress +
            L"\r\nOllama提供外部调用的接口域名：" + kOllamaServerAddress;
    return text;
}
