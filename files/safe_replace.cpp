#include "files/safe_replace.h"

#include "platform/file_names.h"

#include <cstdio>

int MakeTemporaryPath(const char* target, char (&temporary)[kTempPathBytes])
{
    const int n = std::snprintf(temporary, sizeof temporary, "%s.qv-tmp", target);
    return n > 0 && static_cast<std::size_t>(n) < sizeof temporary ? 0 : -1;
}

int ReplaceWithTemporary(const char* temporary, const char* target)
{
    if (MoveFileUtf8(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    DiscardTemporary(temporary);
    return -1;
}

void DiscardTemporary(const char* temporary)
{
    DeleteFileUtf8(temporary);
}
