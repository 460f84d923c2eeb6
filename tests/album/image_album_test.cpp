// ImageAlbum: loading files, folders and patterns, sounds, sorting, moves,
// steps and path joining, on real files in the test's device root.
#include <filesystem>
#include <set>

#include "album_fixture.h"
#include "platform/sound_log.h"

namespace {

const std::u16string kPics = u"\\My Documents\\Pics";

class ImageAlbumTest : public AlbumTest {
protected:
    void SetUp() override {
        AlbumTest::SetUp();
        MakeFolder(kPics);
        for (const char16_t* name : {u"c.jpg", u"a.jpg", u"B.JPG", u".hidden.jpg", u"notes.txt"}) {
            MakeFile(kPics + u"\\" + name);
        }
        MakeFolder(kPics + u"\\sub");
        MakeFile(kPics + u"\\sub\\d.jpg");
        MakeFile(kPics + u"\\sub\\e.bmp");
        MakeFolder(kPics + u"\\.cache");
        MakeFile(kPics + u"\\.cache\\f.jpg");
    }
    ImageAlbum album;
};

struct LoadCase {
    const char* what;
    std::u16string path;
    bool recurse;
    int result;
    std::vector<std::u16string> names;
    int current;
};

TEST_F(ImageAlbumTest, LoadFillsTheAlbumFromFilesFoldersAndPatterns) {
    const std::u16string sub = kPics + u"\\sub\\";
    const LoadCase cases[] = {
        {"folder", kPics, false, 3, {u"a.jpg", u"B.JPG", u"c.jpg"}, 0},
        {"folder with slash", kPics + u"\\", false, 3, {u"a.jpg", u"B.JPG", u"c.jpg"}, 0},
        {"folder recursive", kPics, true, 5,
         {u"a.jpg", u"B.JPG", u"c.jpg", sub + u"d.jpg", sub + u"e.bmp"}, 0},
        {"single file opens its folder", kPics + u"\\b.jpg", false, 3,
         {u"a.jpg", u"B.JPG", u"c.jpg"}, 1},
        {"pattern", kPics + u"\\*.jpg", false, 3, {u"a.jpg", u"B.JPG", u"c.jpg"}, 0},
        {"pattern recursive", kPics + u"\\*.jpg", true, 4,
         {u"a.jpg", u"B.JPG", u"c.jpg", sub + u"d.jpg"}, 0},
        {"question mark pattern", kPics + u"\\?.bmp", true, 1, {sub + u"e.bmp"}, 0},
        {"pattern without match", kPics + u"\\*.gif", false, 0, {}, 0},
        {"missing file", kPics + u"\\zz.jpg", false, -3, {}, -1},
        {"no backslash", u"a.jpg", false, -3, {}, -1},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        album.Append(u"old.jpg");
        EXPECT_EQ(album.Load(c.path.c_str(), false, c.recurse), c.result);
        EXPECT_EQ(Names(album), c.names);
        if (c.result >= 0) {
            EXPECT_EQ(album.current, c.current);
            EXPECT_EQ(std::u16string(album.baseFolder), kPics);
            EXPECT_EQ(album.flags, 0u);
            for (int i = 0; i < album.Count(); ++i) {
                EXPECT_EQ(album.Entry(i)->block.flags, kDisplayUninitialised);
                EXPECT_EQ(album.Entry(i)->block.fileSize, 1u);
                EXPECT_EQ(album.Entry(i)->block.zoom, 1.0f);
            }
        }
    }
}

TEST_F(ImageAlbumTest, RecursionNeverFollowsAFolderLink) {
    // A link back up to the folder itself and one to the subfolder: neither
    // is walked, so every picture comes once.
    std::filesystem::create_directory_symlink(Host("My Documents/Pics"), Host("My Documents/Pics/sub/loop"));
    std::filesystem::create_directory_symlink(Host("My Documents/Pics/sub"), Host("My Documents/Pics/again"));
    const std::u16string sub = kPics + u"\\sub\\";
    EXPECT_EQ(album.Load(kPics.c_str(), false, true), 5);
    EXPECT_EQ(Names(album), (std::vector<std::u16string>{u"a.jpg", u"B.JPG", u"c.jpg", sub + u"d.jpg", sub + u"e.bmp"}));
}

TEST_F(ImageAlbumTest, ASoundNextToAnImageSwitchesToPerImageSounds) {
    MakeFile(kPics + u"\\B.wav");
    MakeFile(kPics + u"\\sub\\d.wav");
    ASSERT_EQ(album.Load(kPics.c_str(), false, true), 5);
    EXPECT_EQ(album.flags & kSoundModeMask, kSoundPerImage);
    const std::u16string expected[] = {u"", u"B.wav", u"", kPics + u"\\sub\\d.wav", u""};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(album.Entry(i)->soundPath, expected[i]) << i;
    EXPECT_EQ(std::u16string(album.Entry(1)->SoundName()), u"B.wav");
}

TEST_F(ImageAlbumTest, AddingKeepsTheBaseFolderAndStoresForeignPathsWhole) {
    MakeFile(u"\\My Documents\\other.jpg");
    ASSERT_EQ(album.Load((kPics + u"\\*.jpg").c_str(), false, false), 3);
    ASSERT_EQ(album.Load(u"\\My Documents\\other.jpg", true, false), 4);
    EXPECT_EQ(std::u16string(album.baseFolder), kPics);
    EXPECT_EQ(album.Entry(3)->path, u"\\My Documents\\other.jpg");
    EXPECT_EQ(album.current, 3);
    // A file of the base folder itself is stored by name.
    ASSERT_EQ(album.Load((kPics + u"\\a.jpg").c_str(), true, false), 5);
    EXPECT_EQ(album.Entry(1)->path, u"a.jpg");
    EXPECT_EQ(album.current, 1);
}

// Three entries named, dated and sized so that each sort gives another order.
struct SortCase {
    int operation;
    std::vector<std::u16string> order;
    int current;  // index of "b" afterwards
};

TEST_F(ImageAlbumTest, SortingReordersAndTheCurrentEntryFollows) {
    const SortCase cases[] = {
        {kSortByName, {u"a", u"B", u"c"}, 1},
        {kSortByTime, {u"c", u"a", u"B"}, 2},
        {kSortBySize, {u"B", u"c", u"a"}, 0},
    };
    for (const SortCase& c : cases) {
        album.Clear();
        struct { const char16_t* name; DWORD timeHigh; DWORD size; } rows[] = {
            {u"a", 2, 0xFFFFFFF0u}, {u"B", 3, 5}, {u"c", 1, 7}};
        for (const auto& row : rows) {
            ImageEntry* entry = album.Append(row.name);
            entry->block.fileTime = {0, row.timeHigh};
            entry->block.fileSize = row.size;
        }
        album.current = 1;  // "B"
        album.Move(c.operation, 0);
        EXPECT_EQ(Names(album), c.order) << c.operation;
        EXPECT_EQ(album.current, c.current) << c.operation;
    }
}

struct MoveCase {
    int operation;
    int index;
    std::vector<std::u16string> order;
    int current;  // starting at 1
    bool beeps;
};

TEST_F(ImageAlbumTest, MovesSwapNeighboursAndDoNothingAtTheEnds) {
    const MoveCase cases[] = {
        {kMoveLeft, 0, {u"a", u"b", u"c"}, 1, true},
        {kMoveRight, 2, {u"a", u"b", u"c"}, 1, true},
        {kMoveLeft, 1, {u"b", u"a", u"c"}, 0, false},
        {kMoveRight, 1, {u"a", u"c", u"b"}, 2, false},
        {kMoveLeft, 2, {u"a", u"c", u"b"}, 2, false},
        {kMoveRight, 0, {u"b", u"a", u"c"}, 0, false},
    };
    for (const MoveCase& c : cases) {
        album.Clear();
        for (const char16_t* name : {u"a", u"b", u"c"}) album.Append(name);
        album.current = 1;
        platform::TakeBeepLog();
        album.Move(c.operation, c.index);
        EXPECT_EQ(platform::TakeBeepLog(),
                  c.beeps ? std::vector<UINT>{MB_ICONHAND} : std::vector<UINT>{});
        EXPECT_EQ(Names(album), c.order) << c.operation << " " << c.index;
        EXPECT_EQ(album.current, c.current) << c.operation << " " << c.index;
    }
}

struct StepCase {
    int start;
    int code;
    int current;
    bool endReached;
};

TEST_F(ImageAlbumTest, StepMovesTheCurrentEntry) {
    const StepCase cases[] = {
        {0, kStepNext, 1, false},
        {2, kStepNext, 2, true},
        {2, kStepNext | kStepWrap, 0, false},
        {1, kStepPrevious, 0, false},
        {0, kStepPrevious, 0, true},
        {0, kStepPrevious | kStepWrap, 2, false},
        {1, kStepFirst, 0, false},
        {1, kStepLast, 2, false},
        {1, 3, 1, false},
        {1, 0x0F, 1, false},
        {-1, kStepNext, 0, false},
        {7, 3, 2, false},  // clamped into the album
    };
    for (int i = 0; i < 3; ++i) album.Append(u"x.jpg");
    for (const StepCase& c : cases) {
        album.current = c.start;
        bool end = !c.endReached;
        ImageEntry* entry = album.Step(c.code, &end);
        EXPECT_EQ(album.current, c.current) << c.start << " " << c.code;
        EXPECT_EQ(end, c.endReached) << c.start << " " << c.code;
        EXPECT_EQ(entry, album.Entry(c.current));
    }
}

TEST_F(ImageAlbumTest, StepOnAnEmptyAlbumGivesNothing) {
    bool end = true;
    EXPECT_EQ(album.Step(kStepNext, &end), nullptr);
    EXPECT_FALSE(end);
    EXPECT_EQ(album.Current(), nullptr);
}

TEST_F(ImageAlbumTest, RandomStepNeverRepeatsTheCurrentEntry) {
    album.Append(u"only.jpg");
    album.current = 0;
    EXPECT_EQ(album.Step(kStepRandom, nullptr), album.Entry(0));
    for (int count : {2, 3, 7}) {
        album.Clear();
        for (int i = 0; i < count; ++i) album.Append(u"x.jpg");
        album.current = 0;
        std::set<int> seen;
        for (int i = 0; i < 300; ++i) {
            int before = album.current;
            album.Step(kStepRandom, nullptr);
            ASSERT_NE(album.current, before) << count;
            ASSERT_GE(album.current, 0);
            ASSERT_LT(album.current, count);
            seen.insert(album.current);
        }
        EXPECT_EQ(int(seen.size()), count);
    }
}

struct JoinCase {
    const char16_t* base;
    const char16_t* path;
    const char16_t* expected;
};

TEST_F(ImageAlbumTest, FullPathJoinsRelativePathsToTheBaseFolder) {
    const JoinCase cases[] = {
        {u"\\My Documents", u"a.jpg", u"\\My Documents\\a.jpg"},
        {u"\\My Documents\\", u"a.jpg", u"\\My Documents\\a.jpg"},
        {u"", u"a.jpg", u"\\a.jpg"},
        {u"\\My Documents", u"\\Temp\\b.jpg", u"\\Temp\\b.jpg"},
        {u"\\My Documents", u"sub\\c.jpg", u"\\My Documents\\sub\\c.jpg"},
    };
    for (const JoinCase& c : cases) {
        album.Clear();
        lstrcpyW(album.baseFolder, c.base);
        album.Append(c.path);
        album.current = 0;
        WCHAR out[MAX_PATH] = {};
        ASSERT_TRUE(album.FullPath(-1, false, out));
        EXPECT_EQ(std::u16string(out), c.expected);
        ASSERT_TRUE(album.FullPath(0, true, out));  // no source address: the path
        EXPECT_EQ(std::u16string(out), c.expected);
    }
    WCHAR out[MAX_PATH] = {};
    EXPECT_FALSE(album.FullPath(1, false, out));
    EXPECT_FALSE(album.FullPath(-2, false, out));
    album.current = 5;
    EXPECT_FALSE(album.FullPath(-1, false, out));
    album.Append(nullptr);
    EXPECT_FALSE(album.FullPath(1, false, out));
    // A path that does not fit the caller's buffer is refused, not cut.
    WCHAR small[8];
    EXPECT_FALSE(album.FullPath(0, false, small, 8));
}

TEST_F(ImageAlbumTest, AUrlLinkTakesThePendingAddress) {
    SetPendingOpenUrl(u"http://host/ct.dcm");
    ImageEntry* link = album.Append(u"\\Temp\\link.url");
    ImageEntry* upper = album.Append(u"\\Temp\\LINK.URL");
    SetPendingOpenUrl(nullptr);
    ImageEntry* later = album.Append(u"\\Temp\\other.url");
    EXPECT_EQ(link->sourceUrl, u"http://host/ct.dcm");
    EXPECT_TRUE(upper->sourceUrl.empty());
    EXPECT_TRUE(later->sourceUrl.empty());
    WCHAR out[MAX_PATH];
    album.current = 0;
    ASSERT_TRUE(album.FullPath(-1, true, out));
    EXPECT_EQ(std::u16string(out), u"\\http://host/ct.dcm");
    // A new path drops the address.
    link->SetPath(u"a.jpg");
    EXPECT_TRUE(link->sourceUrl.empty());
    EXPECT_EQ(std::u16string(link->Name()), u"a.jpg");
}

TEST_F(ImageAlbumTest, FindSlotPrefersTheKindThenAFreeSlot) {
    ImageEntry entry;
    EXPECT_EQ(entry.FindSlot(kAttachmentAdjustment), 0);
    ASSERT_TRUE(entry.SetAttachment(kAttachmentAnnotations, nullptr, 10));
    ASSERT_TRUE(entry.SetAttachment(kAttachmentAdjustment, nullptr, 32));
    EXPECT_EQ(entry.FindSlot(kAttachmentAnnotations), 0);
    EXPECT_EQ(entry.FindSlot(kAttachmentAdjustment), 1);
    EXPECT_EQ(entry.FindSlot(7), 2);
    ASSERT_TRUE(entry.SetAttachment(7, nullptr, 1));
    ASSERT_TRUE(entry.SetAttachment(8, nullptr, 1));
    EXPECT_EQ(entry.FindSlot(9), -1);
    EXPECT_FALSE(entry.SetAttachment(9, nullptr, 1));
    entry.FreeSlot(1);
    EXPECT_EQ(entry.FindSlot(kAttachmentAdjustment), 1);
    EXPECT_EQ(entry.FindSlot(8), 3);
}

TEST_F(ImageAlbumTest, RemoveClosesTheGap) {
    for (const char16_t* name : {u"a", u"b", u"c"}) album.Append(name);
    album.Remove(1);
    EXPECT_EQ(Names(album), (std::vector<std::u16string>{u"a", u"c"}));
    album.Remove(5);  // outside: nothing
    EXPECT_EQ(album.Count(), 2);
    for (int i = 0; i < 45; ++i) album.Append(u"grow");
    EXPECT_EQ(album.Count(), 47);
    EXPECT_EQ(album.Entry(46)->path, u"grow");
}

}  // namespace
