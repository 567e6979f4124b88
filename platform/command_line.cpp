#include "platform/command_line.h"

std::wstring QuotedArgument(std::wstring_view word)
{
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring_view::npos)
        return std::wstring(word);
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

std::wstring CommandLineOf(std::span<const std::wstring> words)
{
    std::wstring line;
    for (const std::wstring& word : words) {
        if (!line.empty())
            line += L' ';
        line += QuotedArgument(word);
    }
    return line;
}
