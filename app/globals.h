// The program's global objects that other parts read (the configuration set is util's
// gComponentConfig, the endpoint map the AI chat client's gEndpointMap).
#pragma once
#include "platform/containers.h"
#include "platform/text.h"

// The about text: the banner shows it as the brand text and its help.
extern CWString gAboutText;
// The product name, set at start-up.
extern CWString gProductName;
// The empty text the AI chat client copies when a default key is empty; nothing writes it.
extern const CWString gEmptyText;

// The about text as the start method sets it.
CWString BuildAboutText();

inline constexpr wchar_t kOllamaHomePage[] = L"https://ollama.com";
inline constexpr wchar_t kOllamaDownloadAddress[] = L"https://ollama.com/download/OllamaSetup.exe";
inline constexpr wchar_t kOllamaServerAddress[] = L"http://127.0.0.1:11434";
