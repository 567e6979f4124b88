// A save that fails at any byte (a full disk) is a failed save: it is
// reported, the file it was to replace keeps every byte, no temporary file
// stays behind and the picture is as it was (still modified, HeightBytes
// kept).  Both writers write through WriteFile, which the failure hooks
// can make run out of room after any byte; natively the JPEG writer also
// meets a real file size limit.
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "support/shown.h"
#include "support/test_support.h"

#include <csignal>
#include <string>

using namespace qvtest;

namespace {

Pixel Colourful(int x, int y)
{
    return Rgbh((x * 37 + y * 11) & 0xFF, (x * 5 + y * 29) & 0xFF, (x * y * 3 + 40) & 0xFF, 99);
}


class WriteFailureTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        StandInFailWritesAfter(-1);
        ReleaseDocument(&doc);
    }

    int WriteBmp() { return Shown(WriteBmpFile(&doc, bmpSettings)); }
    int WriteJpeg() { return Shown(WriteJpegFile(&doc, jpegSettings)); }

    // Size of the file a clean save writes.
    std::size_t CleanSize(bool jpeg)
    {
        const std::string probe = dir.File("probe");
        SetPath(&doc, probe);
        MessageCapture quiet;
        EXPECT_EQ(jpeg ? WriteJpeg() : WriteBmp(), 0) << quiet.Joined();
        const std::size_t size = ReadBytes(probe).size();
        std::remove(probe.c_str());
        return size;
    }

    TempDir dir;
    ImageDocument doc{};
    BmpWriteSettings bmpSettings;
    JpegWriteSettings jpegSettings;
};

// The room a walk leaves on the disk: every byte count short of the file's
// size natively.  Under Wine, where each save costs a file creation and a
// rename (about 35 ms), every seventh count, both sides of the 14-byte file
// header and the last byte: the writers make at most two WriteFile calls
// per file, so these reach every way a write can fail.
std::vector<std::size_t> Rooms(std::size_t size)
{
#ifdef _WIN32
    constexpr std::size_t kStep = 7;
#else
    constexpr std::size_t kStep = 1;
#endif
    std::vector<std::size_t> rooms;
    for (std::size_t n = 0; n < size; ++n)
        if (n % kStep == 0 || n == 13 || n == 14 || n + 1 == size)
            rooms.push_back(n);
    return rooms;
}

const std::vector<std::uint8_t> kOldFile = {'o', 'l', 'd', ' ', 'p', 'h', 'o', 't', 'o'};

TEST_F(WriteFailureTest, ABmpSaveThatRunsOutOfRoomAtAnyByteChangesNothing)
{
    long points = 0;
    for (int depth : {16, 24, 32}) {
        for (int width : {1, 3, 4}) {
            SCOPED_TRACE(std::to_string(depth) + " bits, width " + std::to_string(width));
            bmpSettings.depth = depth;
            ReleaseDocument(&doc);
            doc = MakeDocument(width, 3, Colourful);
            doc.isModified = 1;
            const std::size_t size = CleanSize(false);
            ASSERT_GT(size, 54u);
            const std::string target = dir.File("photo.bmp");
            SetPath(&doc, target);
            const DocumentSnapshot before = Snapshot(doc);
            for (std::size_t n : Rooms(size)) {
                SCOPED_TRACE("room for " + std::to_string(n) + " of " + std::to_string(size) + " bytes");
                ASSERT_TRUE(WriteBytes(target, kOldFile));
                MessageCapture messages;
                StandInFailWritesAfter(static_cast<long long>(n));
                const int rc = WriteBmp();
                StandInFailWritesAfter(-1);
                EXPECT_EQ(rc, -1);
                EXPECT_TRUE(messages.Has(msg::kErrorCaption, msg::kCreateFailed)) << messages.Joined();
                EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
                EXPECT_TRUE(SameBytes(ReadBytes(target), kOldFile));
                EXPECT_EQ(dir.Names(), std::vector<std::string>{"photo.bmp"}) << "no temporary file left";
                EXPECT_TRUE(Unchanged(doc, before));
                ++points;
            }
            // Exactly enough room: the save goes through.
            MessageCapture messages;
            StandInFailWritesAfter(static_cast<long long>(size));
            EXPECT_EQ(WriteBmp(), 0) << messages.Joined();
            StandInFailWritesAfter(-1);
            EXPECT_EQ(ReadBytes(target).size(), size);
        }
    }
    std::printf("[ summary  ] %ld BMP write failure points survived\n", points);
}

TEST_F(WriteFailureTest, AJpegSaveThatRunsOutOfRoomAtAnyByteChangesNothing)
{
    long points = 0;
    for (int progressive : {0, 1}) {
        SCOPED_TRACE(progressive ? "progressive" : "sequential");
        jpegSettings.progressive = progressive != 0;
        ReleaseDocument(&doc);
        doc = MakeDocument(9, 7, Colourful);
        doc.isModified = 1;
        const std::size_t size = CleanSize(true);
        ASSERT_GT(size, 100u);
        const std::string target = dir.File("photo.jpg");
        SetPath(&doc, target);
        const DocumentSnapshot before = Snapshot(doc);
        // The hooks' full disk everywhere; natively also the system's own
        // refusal past a file size limit.
        for (bool systemLimit : {false, true}) {
            if (systemLimit && !FileSizeLimit::kSystemLimit)
                continue;
            SCOPED_TRACE(systemLimit ? "file size limit" : "full disk");
            for (std::size_t n : Rooms(size)) {
                SCOPED_TRACE("room for " + std::to_string(n) + " of " + std::to_string(size) + " bytes");
                ASSERT_TRUE(WriteBytes(target, kOldFile));
                MessageCapture messages;
                int rc = 0;
                if (systemLimit) {
                    FileSizeLimit limit(n);
                    ASSERT_TRUE(limit.Active());
                    rc = WriteJpeg();
                } else {
                    StandInFailWritesAfter(static_cast<long long>(n));
                    rc = WriteJpeg();
                    StandInFailWritesAfter(-1);
                }
                EXPECT_EQ(rc, -1);
                EXPECT_EQ(messages.CountCaption(msg::kErrorCaption), 1u) << messages.Joined();
                EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
                EXPECT_TRUE(SameBytes(ReadBytes(target), kOldFile));
                EXPECT_EQ(dir.Names(), std::vector<std::string>{"photo.jpg"}) << "no temporary file left";
                EXPECT_TRUE(Unchanged(doc, before));
                ++points;
            }
        }
        MessageCapture messages;
        StandInFailWritesAfter(static_cast<long long>(size));
        EXPECT_EQ(WriteJpeg(), 0) << messages.Joined();
        StandInFailWritesAfter(-1);
        EXPECT_EQ(ReadBytes(target).size(), size);
    }
    std::printf("[ summary  ] %ld JPEG write failure points survived\n", points);
}

}  // namespace
