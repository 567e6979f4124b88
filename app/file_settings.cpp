#include "app/file_settings.h"

int FileTypeIndex = 1;
int BmpSaveDepth = kBmpDepthDefault;
int JpegQualityStep = kJpegQualityDefault - kJpegQualityMin;
int JpegProgressive = 0;

BmpWriteSettings RememberedBmpSettings()
{
    return BmpWriteSettings{BmpSaveDepth};
}

JpegWriteSettings RememberedJpegSettings()
{
    return JpegWriteSettings{kJpegQualityMin + JpegQualityStep, JpegProgressive != 0};
}
