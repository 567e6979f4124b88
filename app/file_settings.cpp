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

// --- PNG and WebP files, metadata and transparency -----------------------------

int PngCompression = kPngCompressionDefault;
int WebpQualityStep = kWebpQualityDefault - kJpegQualityMin;
int WebpLossless = 0;
MetadataKeep SaveMetadata = kMetadataKeepDefault;
COLORREF TransparencyBackground = kTransparencyBackgroundDefault;
COLORREF BackgroundCustomColours[16] = {};

namespace {

const FileTypeEntry& EntryOfType(int type)
{
    for (const FileTypeEntry& entry : kFileTypeEntries)
        if (entry.type == type)
            return entry;
    return kFileTypeEntries[0];
}

}  // namespace

int OpenEntryOfType(int type)
{
    return EntryOfType(type).openEntry;
}

int SaveEntryOfType(int type)
{
    return EntryOfType(type).saveEntry;
}

int TypeOfOpenEntry(int entry)
{
    for (const FileTypeEntry& row : kFileTypeEntries)
        if (row.openEntry == entry)
            return row.type;
    return 0;
}

int TypeOfSaveEntry(int entry)
{
    for (const FileTypeEntry& row : kFileTypeEntries)
        if (row.saveEntry == entry)
            return row.type;
    return 0;
}

PngWriteSettings RememberedPngSettings()
{
    return PngWriteSettings{PngCompression};
}

int RememberedWebpQuality()
{
    return kJpegQualityMin + WebpQualityStep;
}
