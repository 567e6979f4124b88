#include "platform/child_process.h"

#include <algorithm>

std::wstring ExecutablePath()
{
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (n == 0)
            return std::wstring();
        if (n < self.size())
            return self.substr(0, n);
        self.resize(self.size() * 2);
    }
}

DWORD StartChildProcess(const std::wstring& program, const std::wstring& commandLine, ChildProcess* child)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return GetLastError();
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started = {};
    std::wstring line = commandLine;  // CreateProcessW may write into it
    const BOOL ok = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   nullptr, &startup, &started);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(writeEnd);
    if (!ok) {
        CloseHandle(readEnd);
        return error;
    }
    CloseHandle(started.hThread);
    child->process = started.hProcess;
    child->errorPipe = readEnd;
    return 0;
}

bool FinishChildProcess(ChildProcess* child, std::size_t maxBytes, std::string* errorText, DWORD* status)
{
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(child->errorPipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        const std::size_t room = maxBytes - std::min(maxBytes, errorText->size());
        errorText->append(buffer, std::min<std::size_t>(room, got));
    }
    CloseHandle(child->errorPipe);
    WaitForSingleObject(child->process, INFINITE);
    *status = 1;
    const bool known = GetExitCodeProcess(child->process, status);
    CloseHandle(child->process);
    *child = ChildProcess{};
    return known;
}
