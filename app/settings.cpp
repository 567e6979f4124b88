#include "app/settings.h"

RememberedSettings Remembered = {};

void ResetRememberedSettings()
{
    Remembered = RememberedSettings{};
}
