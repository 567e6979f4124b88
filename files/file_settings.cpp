#include "files/file_settings.h"

int FileTypeIndex = 1;
int BmpSaveDepth = 24;
int JpegQualityStep = 20;
int JpegProgressive = 0;
