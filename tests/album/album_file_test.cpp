// The album file: round trips through SaveFile/LoadFile, damaged and hostile
// files, and saves that fail without touching the old file.
#include <cstring>

#include "album/album_file.h"
#include "album_fixture.h"
#include "view/adjustment_attachment.h"

namespace {

const std::u16string kAlbumPath = u"\\My Documents\\study.mab";

class AlbumFileTest : public AlbumTest {
protected:
    // Two entries with every persisted kind of state and one bare entry.
    void Fill(ImageAlbum* album) {
        album->flags = kSoundCommon | kAlbumLoopCommonSound;
        lstrcpyW(album->baseFolder, u"\\My Documents\\Pics");
        lstrcpyW(album->commonSound, u"\\Windows\\Alarm1.wav");
        ImageEntry* first = album->Append(u"a.dcm");
        first->SetSoundPath(u"a.wav");
        first->block.width = 512;
        first->block.height = 400;
        first->block.bitsPerPixel = 8;
        first->block.slideDelay = 12;
        first->block.offsetX = -17;
        first->block.offsetY = 33;
        first->block.flags = kDisplayZoomToFit;
        first->block.zoom = 2.5f;
        first->block.rotation = -270;
        first->block.entryFlags = kEntryLoopSound;
        first->block.fileSize = 123456;
        first->block.fileTime = {0x89ABCDEF, 0x01D00000};
        const BYTE annotations[] = {'R', 'D', 'r', 'w', 'O', 'b', 'j', 0, 1, 2, 3};
        ASSERT_TRUE(first->SetAttachment(kAttachmentAnnotations, annotations, sizeof annotations));
        BYTE adjustment[kAdjustmentAttachmentSize];
        WriteAdjustmentAttachment({40, 400, 3, 1}, adjustment);
        ASSERT_TRUE(first->SetAttachment(kAttachmentAdjustment, adjustment, sizeof adjustment));
        RImage* icon = new RImage;
        ASSERT_TRUE(CreateImage(nullptr, icon, 24, 5, 3, nullptr, 0));
        for (int i = 0; i < 3 * 16; ++i) icon->pixels[i] = BYTE(i * 7);
        first->SetIcon(icon);

        ImageEntry* second = album->Append(u"\\Temp\\b.jpg");
        second->block.flags = kDisplayUninitialised;
        second->block.zoom = -1.0f;
        album->Append(nullptr);
    }

    std::vector<BYTE> Serialized(const ImageAlbum& album) {
        std::vector<BYTE> bytes;
        EXPECT_TRUE(SerializeAlbum(album, &bytes));
        return bytes;
    }
};

TEST_F(AlbumFileTest, RoundTripKeepsEverything) {
    ImageAlbum saved;
    Fill(&saved);
    ASSERT_EQ(saved.SaveFile(kAlbumPath.c_str()), kLoadOk);
    EXPECT_EQ(std::u16string(saved.albumFile), kAlbumPath);

    ImageAlbum loaded;
    loaded.Append(u"stale.jpg");
    ASSERT_EQ(loaded.LoadFile(kAlbumPath.c_str()), kLoadOk);
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded.current, 0);
    EXPECT_EQ(loaded.flags, saved.flags);
    EXPECT_EQ(std::u16string(loaded.baseFolder), u"\\My Documents\\Pics");
    EXPECT_EQ(std::u16string(loaded.commonSound), u"\\Windows\\Alarm1.wav");
    EXPECT_EQ(std::u16string(loaded.albumFile), kAlbumPath);
    for (int i = 0; i < 3; ++i) {
        const ImageEntry* a = saved.Entry(i);
        const ImageEntry* b = loaded.Entry(i);
        EXPECT_EQ(b->path, a->path);
        EXPECT_EQ(b->soundPath, a->soundPath);
        EXPECT_EQ(std::memcmp(&a->block, &b->block, sizeof(EntryBlock)), 0) << i;
        EXPECT_EQ(b->loadState, kNotDecoded);
    }
    const ImageEntry* first = loaded.Entry(0);
    DWORD size = 0;
    const BYTE* data = first->Attachment(kAttachmentAnnotations, &size);
    ASSERT_EQ(size, 11u);
    EXPECT_EQ(std::memcmp(data, "RDrwObj", 8), 0);
    AdjustmentAttachment adjustment{};
    data = first->Attachment(kAttachmentAdjustment, &size);
    ASSERT_TRUE(ReadAdjustmentAttachment(data, size, &adjustment));
    EXPECT_EQ(adjustment.center, 40);
    EXPECT_EQ(adjustment.width, 400);
    EXPECT_EQ(adjustment.palette, 3);
    EXPECT_EQ(adjustment.negative, 1);
    ASSERT_NE(first->icon, nullptr);
    EXPECT_EQ(first->icon->header->biWidth, 5);
    EXPECT_EQ(first->icon->header->biHeight, 3);
    EXPECT_EQ(first->icon->header->biBitCount, 24);
    EXPECT_EQ(std::memcmp(first->icon->pixels, saved.Entry(0)->icon->pixels, 48), 0);
    EXPECT_EQ(loaded.Entry(1)->icon, nullptr);
    // Written again, the file is the same byte for byte.
    EXPECT_EQ(Serialized(loaded), ReadBytes(kAlbumPath));
}

TEST_F(AlbumFileTest, LoadOfAnAlbumFileThroughLoad) {
    ImageAlbum saved;
    Fill(&saved);
    ASSERT_EQ(saved.SaveFile(kAlbumPath.c_str()), kLoadOk);
    ImageAlbum album;
    EXPECT_EQ(album.Load(kAlbumPath.c_str(), false, false), 3);
    EXPECT_EQ(album.current, 0);
    EXPECT_EQ(album.Entry(0)->path, u"a.dcm");
    EXPECT_EQ(std::u16string(album.baseFolder), u"\\My Documents\\Pics");
}

TEST_F(AlbumFileTest, AddingAnAlbumFileAppendsItsEntries) {
    ImageAlbum saved;
    Fill(&saved);
    ASSERT_EQ(saved.SaveFile(kAlbumPath.c_str()), kLoadOk);
    MakeFolder(u"\\Temp\\x");
    MakeFile(u"\\Temp\\x\\own.jpg");
    ImageAlbum album;
    ASSERT_EQ(album.Load(u"\\Temp\\x\\own.jpg", false, false), 1);
    ASSERT_EQ(album.Load(kAlbumPath.c_str(), true, false), 4);
    EXPECT_EQ(std::u16string(album.baseFolder), u"\\Temp\\x");
    EXPECT_EQ(album.flags, 0u);
    EXPECT_EQ(Names(album), (std::vector<std::u16string>{
                                u"own.jpg", u"\\My Documents\\Pics\\a.dcm", u"\\Temp\\b.jpg", u""}));
    EXPECT_EQ(album.Entry(1)->soundPath, u"\\My Documents\\Pics\\a.wav");
    EXPECT_EQ(album.current, 1);
    EXPECT_NE(album.Entry(1)->Attachment(kAttachmentAdjustment, nullptr), nullptr);
}

TEST_F(AlbumFileTest, AnyWrongMagicByteIsRefused) {
    ImageAlbum saved;
    Fill(&saved);
    const std::vector<BYTE> good = Serialized(saved);
    for (size_t i = 0; i < 7; ++i) {
        std::vector<BYTE> bad = good;
        bad[i] ^= 0x20;
        WriteBytes(kAlbumPath, bad);
        ImageAlbum album;
        album.Append(u"kept.jpg");
        EXPECT_EQ(album.LoadFile(kAlbumPath.c_str()), kLoadUnsupportedVersion) << i;
        EXPECT_EQ(album.Count(), 1);
    }
    ImageAlbum album;
    EXPECT_EQ(album.LoadFile(u"\\My Documents\\missing.mab"), kLoadCannotOpen);
    EXPECT_EQ(album.Load(u"\\My Documents\\missing.mab", false, false), -3);
}

// Every prefix of a good file is either too short for the magic (10) or
// damaged (8). Each prefix lies in a buffer of exactly its size, so that the
// sanitizer build catches any read past the end.
TEST_F(AlbumFileTest, EveryTruncationIsDamage) {
    ImageAlbum saved;
    Fill(&saved);
    const std::vector<BYTE> good = Serialized(saved);
    for (size_t length = 0; length < good.size(); ++length) {
        std::vector<BYTE> prefix(good.begin(), good.begin() + length);
        AlbumFileContents contents;
        LoadError expected = length < 7 ? kLoadUnsupportedVersion : kLoadCorrupt;
        ASSERT_EQ(ParseAlbumFile(prefix.data(), prefix.size(), &contents), expected) << length;
        EXPECT_TRUE(contents.entries.empty());
    }
    // Through the file, the album ends up empty.
    for (size_t length : {size_t(11), size_t(60), good.size() / 2, good.size() - 1}) {
        WriteBytes(kAlbumPath, std::vector<BYTE>(good.begin(), good.begin() + length));
        ImageAlbum album;
        album.Append(u"kept.jpg");
        EXPECT_EQ(album.LoadFile(kAlbumPath.c_str()), kLoadCorrupt) << length;
        EXPECT_EQ(album.Count(), 0);
    }
}

// Hand-made files: the header of an empty album, then one field at a time.
// The base folder's declared byte length, then min(declared, 1024) bytes.
std::vector<BYTE> Header(DWORD count, DWORD baseBytes) {
    std::vector<BYTE> bytes = {'R', 'A', 'B', ' ', '1', '0', '0'};
    auto dword = [&](DWORD v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(BYTE(v >> (8 * i)));
    };
    dword(count);
    dword(0);  // flags
    dword(baseBytes);
    for (DWORD i = 0; i < baseBytes && i < 1024; ++i) bytes.push_back(i % 2 ? 0 : 'x');
    dword(0);  // common sound
    return bytes;
}

void PutDword(std::vector<BYTE>* bytes, size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i) (*bytes)[at + i] = BYTE(v >> (8 * i));
}

struct DamageCase {
    const char* what;
    std::vector<BYTE> bytes;
    LoadError result;
};

TEST_F(AlbumFileTest, HostileFieldsAreDamage) {
    ImageAlbum one;
    one.Append(u"a.jpg");
    const std::vector<BYTE> good = Serialized(one);
    // Offsets in `good`: header 23 bytes, path 4 + 10, sound 4, block 332, icon 4.
    const size_t path = 23, block = 23 + 14 + 4, icon = block + kEntryBlockSize;
    ASSERT_EQ(good.size(), icon + 4);

    std::vector<BYTE> longPath = good;
    PutDword(&longPath, path, 520);
    longPath.insert(longPath.begin() + path + 4 + 10, 510, 'y');
    std::vector<BYTE> fitting = Header(0, 518);
    std::vector<BYTE> oddPath = good;
    PutDword(&oddPath, path, 9);
    std::vector<BYTE> hugeCount = good;
    PutDword(&hugeCount, 7, 0xFFFFFFFF);
    std::vector<BYTE> twoCounted = good;
    PutDword(&twoCounted, 7, 2);
    std::vector<BYTE> hugeAttachment = good;
    PutDword(&hugeAttachment, block + 48, 0x7FFFFFFF);
    hugeAttachment[block + 52] = 2;
    std::vector<BYTE> unknownKind = good;
    PutDword(&unknownKind, block + 48, 3);
    unknownKind[block + 52] = 9;
    unknownKind.insert(unknownKind.begin() + icon, 3, 0xEE);
    std::vector<BYTE> badIcon = good;
    PutDword(&badIcon, icon, 44 + 4);
    BITMAPINFOHEADER header = {40, 1, 1, 1, 24, 0, 4, 0, 0, 0, 0};
    badIcon.insert(badIcon.end(), reinterpret_cast<BYTE*>(&header),
                   reinterpret_cast<BYTE*>(&header) + 40);
    badIcon.insert(badIcon.end(), 4 + 4, 0);
    std::vector<BYTE> goodIcon = badIcon;
    std::vector<BYTE> wrongHeaderSize = badIcon;
    wrongHeaderSize[icon + 4] = 41;
    std::vector<BYTE> wrongImageSize = badIcon;
    PutDword(&wrongImageSize, icon + 4 + 20, 8);
    std::vector<BYTE> wrongIconSize = badIcon;
    PutDword(&wrongIconSize, icon, 44 + 5);
    std::vector<BYTE> zeroWidth = badIcon;
    PutDword(&zeroWidth, icon + 4 + 4, 0);
    std::vector<BYTE> badDepth = badIcon;
    badDepth[icon + 4 + 14] = 7;
    std::vector<BYTE> negativeHeight = badIcon;
    PutDword(&negativeHeight, icon + 4 + 8, 0xFFFFFFFF);

    const DamageCase cases[] = {
        {"good", good, kLoadOk},
        {"base folder of 259 characters", fitting, kLoadOk},
        {"base folder of 260 characters", Header(0, 520), kLoadCorrupt},
        {"path of 260 characters", longPath, kLoadCorrupt},
        {"odd string length", oddPath, kLoadCorrupt},
        {"string longer than the file", Header(0, 0xFFFFFFFE), kLoadCorrupt},
        {"count beyond the file", hugeCount, kLoadCorrupt},
        {"one entry missing", twoCounted, kLoadCorrupt},
        {"attachment beyond the file", hugeAttachment, kLoadCorrupt},
        {"unknown attachment kind read over", unknownKind, kLoadOk},
        {"1x1 icon", goodIcon, kLoadOk},
        {"icon header size", wrongHeaderSize, kLoadCorrupt},
        {"icon image size", wrongImageSize, kLoadCorrupt},
        {"icon size", wrongIconSize, kLoadCorrupt},
        {"icon width 0", zeroWidth, kLoadCorrupt},
        {"icon depth 7", badDepth, kLoadCorrupt},
        {"icon height -1", negativeHeight, kLoadCorrupt},
        {"empty file", {}, kLoadUnsupportedVersion},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.what);
        AlbumFileContents contents;
        EXPECT_EQ(ParseAlbumFile(c.bytes.data(), c.bytes.size(), &contents), c.result);
        WriteBytes(kAlbumPath, c.bytes);
        ImageAlbum album;
        album.Append(u"kept.jpg");
        LoadError error = album.LoadFile(kAlbumPath.c_str());
        EXPECT_EQ(error, c.result);
        if (error == kLoadCorrupt) {
            EXPECT_EQ(album.Count(), 0);
        }
        if (error == kLoadOk && !contents.entries.empty()) {
            // Unknown kinds are dropped with their slot.
            EXPECT_EQ(album.Entry(0)->FindSlot(9), 0);
            EXPECT_EQ(std::u16string(album.Entry(0)->Name()), u"a.jpg");
        }
    }
}

TEST_F(AlbumFileTest, AFailedSaveKeepsTheOldFile) {
    ImageAlbum album;
    Fill(&album);
    ASSERT_EQ(album.SaveFile(kAlbumPath.c_str()), kLoadOk);
    const std::vector<BYTE> before = ReadBytes(kAlbumPath);
    album.Remove(0);
    // The temporary file cannot be created where a folder of its name is.
    MakeFolder(kAlbumPath + u"~");
    lstrcpyW(album.albumFile, u"");
    EXPECT_EQ(album.SaveFile(kAlbumPath.c_str()), kLoadCannotCreate);
    EXPECT_EQ(ReadBytes(kAlbumPath), before);
    EXPECT_EQ(std::u16string(album.albumFile), u"");
    EXPECT_EQ(album.SaveFile(u"\\No Such Folder\\x.mab"), kLoadCannotCreate);
    EXPECT_EQ(GetFileAttributesW(u"\\No Such Folder\\x.mab"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(AlbumFileTest, SaveReplacesAReadOnlyFile) {
    ImageAlbum album;
    Fill(&album);
    WriteBytes(kAlbumPath, {1, 2, 3});
    ASSERT_TRUE(SetFileAttributesW(kAlbumPath.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(album.SaveFile(kAlbumPath.c_str()), kLoadOk);
    EXPECT_EQ(ReadBytes(kAlbumPath), Serialized(album));
    EXPECT_EQ(GetFileAttributesW((kAlbumPath + u"~").c_str()), INVALID_FILE_ATTRIBUTES);
    // Without an installed chooser the dialog-driven save is a cancel.
    bool saved = true;
    EXPECT_EQ(album.Save(nullptr, nullptr, &saved), kLoadOk);
    EXPECT_FALSE(saved);
}

}  // namespace
