// A text mark's placeholders filled from photos written here with Exiv2: a
// JPEG with the usual tags, one without metadata, a PNG with EXIF in it and
// a file that is no picture; and the date's conversions against the C
// library's strftime.
#include "app/messages.h"
#include "cli/text_messages.h"
#include "files/png_file.h"
#include "files/text_placeholders.h"
#include "support/jpeg_generator.h"
#include "support/test_support.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <utime.h>

#include <clocale>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

using namespace qvtest;

namespace {

// Sets the file's modification time to 2019-03-04 05:06:07 local time:
// what {date} gives for a photo without a date taken.
void SetFileTime(const std::string& path)
{
    std::tm local{};
    local.tm_year = 2019 - 1900;
    local.tm_mon = 3 - 1;
    local.tm_mday = 4;
    local.tm_hour = 5;
    local.tm_min = 6;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    utimbuf times{when, when};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
}

void WriteTags(const std::string& path, const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp)
{
    std::unique_ptr<Exiv2::Image> image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    image->setExifData(exif);
    image->setXmpData(xmp);
    image->writeMetadata();
}

class TextPlaceholdersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteFlatJpeg(dir.File("tagged.jpg"), 16, 12, 90, false));
        Exiv2::ExifData exif;
        exif["Exif.Image.Artist"] = "Hanako Yamada";
        exif["Exif.Image.Copyright"] = "Copyright 2026 Studio";
        exif["Exif.Image.Model"] = "QV-1";
        exif["Exif.Photo.LensModel"] = "QV 50mm";
        exif["Exif.Photo.DateTimeOriginal"] = "2021:06:15 09:05:07";
        Exiv2::XmpData xmp;
        Exiv2::Value::AutoPtr creators = Exiv2::Value::create(Exiv2::xmpSeq);
        creators->read("Creator One");
        creators->read("Creator Two");
        xmp.add(Exiv2::XmpKey("Xmp.dc.creator"), creators.get());
        xmp["Xmp.dc.rights"] = "lang=x-default All rights reserved";
        WriteTags(dir.File("tagged.jpg"), exif, xmp);

        ASSERT_TRUE(WriteFlatJpeg(dir.File("plain.jpg"), 16, 12, 90, false));
        SetFileTime(dir.File("plain.jpg"));

        ImageDocument picture = MakeDocument(8, 6, [](int x, int y) { return Rgbh(x * 30, y * 40, 90); });
        const Outcome written = WritePngFile(dir.File("photo.png").c_str(), &picture, nullptr);
        ReleaseDocument(&picture);
        ASSERT_TRUE(written.ok());
        Exiv2::ExifData pngExif;
        pngExif["Exif.Image.Artist"] = "PNG Artist";
        pngExif["Exif.Image.Copyright"] = "   ";  // blank: as good as missing
        WriteTags(dir.File("photo.png"), pngExif, Exiv2::XmpData());
        SetFileTime(dir.File("photo.png"));

        ASSERT_TRUE(WriteBytes(dir.File("notes.jpg"), {'n', 'o', 't', 'e', 's'}));
        SetFileTime(dir.File("notes.jpg"));
    }

    TempDir dir;
};

TEST_F(TextPlaceholdersTest, FillsEachPlaceholderFromEachPhotoOrNamesWhatFails)
{
    using F = PlaceholderFailure;
    struct Case {
        const char* text;
        const char* photo;
        const char* filled;       // when it succeeds
        F failure;                // when it does not
        const char* placeholder;  // as the outcome names it
        std::size_t offset;
        const char* detail;
    };
    const Case cases[] = {
        {"{filename}", "tagged.jpg", "tagged", F::None, "", 0, ""},
        {"© {exif:Artist} {date:%Y}", "tagged.jpg", "© Hanako Yamada 2021", F::None, "", 0, ""},
        {"{exif:Model} / {exif:Exif.Photo.LensModel} / {exif:Copyright}", "tagged.jpg",
         "QV-1 / QV 50mm / Copyright 2026 Studio", F::None, "", 0, ""},
        {"{xmp:dc.creator}: {xmp:Xmp.dc.rights}", "tagged.jpg", "Creator One, Creator Two: All rights reserved",
         F::None, "", 0, ""},
        {"{date:%F %T}\n{date}", "tagged.jpg", "2021-06-15 09:05:07\n2021-06-15", F::None, "", 0, ""},
        {"{{{filename}}} }}{{", "tagged.jpg", "{tagged} }{", F::None, "", 0, ""},
        {"{exif:Artist|Quillvane}", "tagged.jpg", "Hanako Yamada", F::None, "", 0, ""},
        // No metadata: the file's time, the defaults.
        {"{exif:Artist|Quillvane} {date:%Y-%m-%d %H:%M:%S}", "plain.jpg", "Quillvane 2019-03-04 05:06:07", F::None,
         "", 0, ""},
        {"{exif:Model|}{filename}", "plain.jpg", "plain", F::None, "", 0, ""},
        {"© {exif:Artist} {date:%Y}", "plain.jpg", "", F::TagMissing, "{exif:Artist}", 3, ""},
        {"{xmp:dc.creator}", "plain.jpg", "", F::TagMissing, "{xmp:dc.creator}", 0, ""},
        // A PNG's EXIF; a blank tag is missing.
        {"{exif:Artist} {date:%Y}", "photo.png", "PNG Artist 2019", F::None, "", 0, ""},
        {"{exif:Copyright}", "photo.png", "", F::TagMissing, "{exif:Copyright}", 0, ""},
        // No picture at all: its metadata cannot be read; the date is the file's.
        {"{exif:Artist}", "notes.jpg", "", F::MetadataUnreadable, "{exif:Artist}", 0, nullptr},
        {"{exif:Artist|anon} {date:%Y}", "notes.jpg", "anon 2019", F::None, "", 0, ""},
        // Without placeholders the photo is not read.
        {"plain {{text}}", "absent.jpg", "plain {text}", F::None, "", 0, ""},
        // The text's own faults, whatever the photo.
        {"© {exif:Artist", "tagged.jpg", "", F::Unterminated, "{exif:Artist", 3, ""},
        {"a {b{c}", "tagged.jpg", "", F::Unterminated, "{b", 2, ""},
        {"a } b", "tagged.jpg", "", F::StrayBrace, "}", 2, ""},
        {"{exif:Artist}}", "tagged.jpg", "", F::StrayBrace, "}", 13, ""},
        {"{name}", "tagged.jpg", "", F::UnknownName, "{name}", 0, ""},
        {"x{filename:ext}", "tagged.jpg", "", F::UnknownName, "{filename:ext}", 1, ""},
        {"{exif:|x}", "tagged.jpg", "", F::UnknownName, "{exif:|x}", 0, ""},
        {"{Date:%Y}", "tagged.jpg", "", F::UnknownName, "{Date:%Y}", 0, ""},
        {"{date:%Y %Q}", "tagged.jpg", "", F::BadDateFormat, "{date:%Y %Q}", 0, "%Q"},
        {"{date:%Y%|x}", "tagged.jpg", "", F::BadDateFormat, "{date:%Y%|x}", 0, "%"},
        {"{exif:Artsit|x}", "tagged.jpg", "", F::UnknownTag, "{exif:Artsit|x}", 0, ""},
        {"{exif:Exif.Image.Nothing}", "tagged.jpg", "", F::UnknownTag, "{exif:Exif.Image.Nothing}", 0, ""},
        {"{exif:Xmp.dc.creator}", "tagged.jpg", "", F::UnknownTag, "{exif:Xmp.dc.creator}", 0, ""},
        {"{xmp:nowhere.creator}", "tagged.jpg", "", F::UnknownTag, "{xmp:nowhere.creator}", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " on " + c.photo);
        std::string filled = "stale";
        const PlaceholderOutcome outcome = FillTextPlaceholders(c.text, dir.File(c.photo).c_str(), &filled);
        EXPECT_EQ(outcome.failure, c.failure);
        if (c.failure == F::None) {
            EXPECT_EQ(filled, c.filled);
            continue;
        }
        EXPECT_EQ(outcome.placeholder, c.placeholder);
        // Each front end has words for it, naming the placeholder.
        EXPECT_NE(PlaceholderFailureText(outcome).find(c.failure == F::StrayBrace ? "byte" : c.placeholder),
                  std::string::npos);
        for (UiLanguage language : {UiLanguage::Japanese, UiLanguage::English}) {
            const std::string box = PlaceholderBoxText(outcome, language);
            EXPECT_EQ(box.compare(box.find('\n') + 1, std::strlen(c.placeholder), c.placeholder), 0) << box;
        }
        EXPECT_EQ(outcome.offset, c.offset);
        if (c.detail)
            EXPECT_EQ(outcome.detail, c.detail);
        else
            EXPECT_FALSE(outcome.detail.empty()) << "the library's words";
    }
}

// Every conversion the date knows writes what strftime writes in the C
// locale, on dates that reach the edges: leap days, the ends of years, a
// Sunday, midnight and noon.
TEST(PhotoDateFormat, EveryConversionWritesWhatStrftimeWrites)
{
    const PhotoDate dates[] = {{2021, 6, 15, 9, 5, 7},  {2024, 2, 29, 0, 0, 0},   {2023, 12, 31, 12, 59, 59},
                               {2000, 1, 1, 23, 30, 1}, {1999, 3, 7, 12, 0, 0},   {2100, 3, 1, 13, 14, 15},
                               {1970, 1, 1, 0, 0, 0},   {2026, 12, 9, 7, 50, 60}, {1900, 2, 28, 11, 1, 2}};
    const char* previous = std::setlocale(LC_TIME, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_TIME, "C");
    for (const PhotoDate& date : dates) {
        std::tm tm{};
        tm.tm_year = date.year - 1900;
        tm.tm_mon = date.month - 1;
        tm.tm_mday = date.day;
        tm.tm_hour = date.hour;
        tm.tm_min = date.minute;
        tm.tm_sec = date.second;
        tm.tm_isdst = -1;
        std::tm normal = tm;
        timegm(&normal);  // the weekday and the day of the year
        tm.tm_wday = normal.tm_wday;
        tm.tm_yday = normal.tm_yday;
        for (char conversion : kDateConversions) {
            const std::string format = std::string("<%") + conversion + ">";
            char expected[128];
            ASSERT_GT(std::strftime(expected, sizeof expected, format.c_str(), &tm), 0u);
            EXPECT_EQ(FormatPhotoDate(date, format), expected)
                << format << " on " << date.year << "-" << date.month << "-" << date.day;
        }
    }
    std::setlocale(LC_TIME, saved.c_str());
}

}  // namespace
