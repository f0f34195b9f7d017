// The fake setx beside the test programs, run in place of the system's and logging into a file of
// the test's own, for its lifetime.
#pragma once
#include <vector>

#include "platform/mem.h"
#include "platform/seams.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/win.h"

class FakeSetxLog {
public:
    FakeSetxLog() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        log_ = CWString(temp) + L"kv-setx-" + CWString::FromInt(::GetCurrentProcessId()) + L".log";
        ::DeleteFileW(log_.c_str());
        ::SetEnvironmentVariableW(L"KELVARO_FAKE_SETX_LOG", log_.c_str());
        ExitWith(nullptr);
    }
    ~FakeSetxLog() {
        ::SetEnvironmentVariableW(L"KELVARO_FAKE_SETX_LOG", nullptr);
        ExitWith(nullptr);
        ::DeleteFileW(log_.c_str());
    }
    FakeSetxLog(const FakeSetxLog&) = delete;
    FakeSetxLog& operator=(const FakeSetxLog&) = delete;

    // The exit code of the runs from now on ("1"); null for 0.
    void ExitWith(const wchar_t* code) { ::SetEnvironmentVariableW(L"KELVARO_FAKE_SETX_EXIT", code); }
    // Its command lines, one per run.
    std::vector<CWString> Lines() const {
        CVolMem m = CVolMem::ConstructFromFile(log_);
        CWStringArray lines;
        SplitTextBySeparator(CWString::FromUtf8Bytes(m.GetPtr(), m.GetSize()), lines, L"\r\n", false, true);
        return lines;
    }

private:
    CWString log_;
    ScopedSeam<decltype(PlatformSeams::setxProgram)> program_{
        &PlatformSeams::setxProgram, [] { return CWString(GetModuleDirectory() + L"setx.exe"); }};
};
