// bmp_write_test.cpp - WriteBmpFile: the exact bytes of the file, its size at each depth, the
// descriptions and names it refuses without leaving a file, replacing a file (keeping its mode,
// writing through a symbolic link), and a write that fails part-way; WriteBmpFileInBands: the
// same bytes band by band, and a band that fails; WriteBmpFileFromRows: the same bytes from rows
// where they lie, padded.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

#include "bmp_file.h"
#include "bmp_test_util.h"

namespace {

using namespace bmptest;

void Le16(Bytes& out, uint16_t v) {
  for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Le32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The expected file, field by field, for a description whose other fields are all set to
// values a writer might be tempted to recompute.
Bytes ExpectedFile(const BITMAPINFO& info, const Bytes& pixels, size_t pixelBytes) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const uint32_t offset = h.biBitCount <= 8 ? 1078 : 54;
  Bytes file{'B', 'M'};
  Le32(file, offset + static_cast<uint32_t>(pixelBytes));
  Le32(file, 0);
  Le32(file, offset);
  Le32(file, h.biSize);
  Le32(file, static_cast<uint32_t>(h.biWidth));
  Le32(file, static_cast<uint32_t>(h.biHeight));
  Le16(file, h.biPlanes);
  Le16(file, h.biBitCount);
  for (const uint32_t v :
       {h.biCompression, h.biSizeImage, static_cast<uint32_t>(h.biXPelsPerMeter),
        static_cast<uint32_t>(h.biYPelsPerMeter), h.biClrUsed, h.biClrImportant}) {
    Le32(file, v);
  }
  if (h.biBitCount <= 8) {
    for (const RGBQUAD& c : info.bmiColors) {
      file.insert(file.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed, c.rgbReserved});
    }
  }
  file.insert(file.end(), pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(pixelBytes));
  return file;
}

TEST(WriteBmpFile, WritesTheExactBytesWithTheHeaderAsHeld) {
  // {width, height, bits, S}: 3 x 8 bits pad to 4 bytes a row, 3 x 24 bits to 12, 766 x 24 to
  // 2300 (766 x 3 = 2298).
  const std::vector<std::tuple<int32_t, int32_t, uint16_t, size_t>> table = {
      {3, 2, 8, 8}, {3, 2, 24, 24}, {766, 2, 24, 4600}, {5, 3, 1, 12}};
  for (const auto& [width, height, bits, pixelBytes] : table) {
    TempFolder folder;
    BITMAPINFO info = Description(width, height, bits);
    info.bmiHeader.biSizeImage = 12345;  // stale, written as held
    info.bmiHeader.biXPelsPerMeter = -7;
    info.bmiHeader.biClrUsed = 9;
    info.bmiHeader.biCompression = 0;
    for (int i = 0; i < 256; ++i) info.bmiColors[i] = {1, static_cast<uint8_t>(i), 3, 4};
    const Bytes pixels = Pattern(pixelBytes + 100);  // more than S: only S is written
    ASSERT_TRUE(WriteBmpFile(folder / "f.bmp", info, pixels)) << width << "x" << bits;
    EXPECT_EQ(ReadAll(folder / "f.bmp"), ExpectedFile(info, pixels, pixelBytes))
        << width << "x" << bits;
  }
}

TEST(WriteBmpFile, FileSizeIsHeadersPalettePixelsAtEachDepth) {
  // {bits, offset of the pixel data}: 256 palette entries for 8 bits or less.
  const std::vector<std::pair<uint16_t, uint32_t>> table = {
      {1, 1078}, {4, 1078}, {8, 1078}, {15, 54}, {16, 54}, {24, 54}, {32, 54}};
  const Bytes pixels = Pattern(kDisplayBytes);
  for (const auto& [bits, offset] : table) {
    TempFolder folder;
    const BITMAPINFO info = Description(768, 576, bits);
    const uint64_t pixelBytes = *BmpPixelBytes(info.bmiHeader);
    ASSERT_TRUE(WriteBmpFile(folder / "f.bmp", info, pixels)) << bits;
    const Bytes file = ReadAll(folder / "f.bmp");
    ASSERT_EQ(file.size(), offset + pixelBytes) << bits;
    uint32_t sizeField = 0;
    uint32_t offsetField = 0;
    std::memcpy(&sizeField, &file[2], 4);
    std::memcpy(&offsetField, &file[10], 4);
    EXPECT_EQ(sizeField, file.size()) << bits;
    EXPECT_EQ(offsetField, offset) << bits;
  }
}

TEST(WriteBmpFile, RefusesWithoutCreatingAFile) {
  struct Case {
    const char* what;
    const char* name;
    BITMAPINFO info;
    size_t bufferBytes;
  };
  const std::vector<Case> table = {
      {"empty name", "", Description(4, 4, 24), 1000},
      {"bit count 0 (nothing acquired yet)", "f.bmp", Description(768, 576, 0), kDisplayBytes},
      {"width 0", "f.bmp", Description(0, 4, 24), 1000},
      {"height 0", "f.bmp", Description(4, 0, 24), 1000},
      {"top-down", "f.bmp", Description(4, -4, 24), 1000},
      {"negative width", "f.bmp", Description(-4, 4, 24), 1000},
      {"both negative (positive S)", "f.bmp", Description(-4, -4, 24), 1000},
      {"S one byte past the buffer", "f.bmp", Description(4, 4, 24), 47},
      {"no buffer", "f.bmp", Description(4, 4, 24), 0},
      {"S beyond 64 bits", "f.bmp", Description(INT32_MAX, INT32_MAX, 65535), 1000},
  };
  for (const Case& c : table) {
    TempFolder folder;
    const Bytes buffer = Pattern(c.bufferBytes);
    const fs::path path = *c.name ? folder / c.name : fs::path();
    EXPECT_FALSE(WriteBmpFile(path, c.info, std::span(buffer.data(), c.bufferBytes))) << c.what;
    EXPECT_TRUE(folder.Names().empty()) << c.what;
  }
}

// A size field of 32 bits cannot describe a file of 4 GiB or more: no file rather than one whose
// header lies. The buffer is a mapping of zero pages, so the refusal costs no memory.
TEST(WriteBmpFile, RefusesAFileTooLargeForItsSizeField) {
  const size_t bytes = size_t{5} << 30;
  void* map = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (map == MAP_FAILED) GTEST_SKIP() << "cannot map 5 GiB";
  TempFolder folder;
  const BITMAPINFO info = Description(65536, 20480, 32);  // S = 5 GiB
  EXPECT_FALSE(WriteBmpFile(folder / "f.bmp", info, std::span(static_cast<uint8_t*>(map), bytes)));
  EXPECT_TRUE(folder.Names().empty());
  ::munmap(map, bytes);
}

TEST(WriteBmpFile, ReplacesAnExistingFileAndLeavesNothingElse) {
  TempFolder folder;
  WriteAll(folder / "a.bmp", Pattern(5000));
  const Bytes pixels = Pattern(100);
  const BITMAPINFO info = Description(3, 2, 24);
  ASSERT_TRUE(WriteBmpFile(folder / "a.bmp", info, pixels));
  EXPECT_EQ(ReadAll(folder / "a.bmp"), ExpectedFile(info, pixels, 24));
  EXPECT_EQ(folder.Names(), std::set<std::string>{"a.bmp"});
}

// The file put in place of an old one takes the old one's permission bits (a new file gets 0666
// less the umask).
TEST(WriteBmpFile, KeepsTheReplacedFilesPermissionBits) {
  const mode_t oldMask = ::umask(022);
  // {mode of the old file, or none; mode of the file written}
  const std::vector<std::pair<std::optional<mode_t>, mode_t>> table = {
      {std::nullopt, 0644}, {0600, 0600}, {0640, 0640}, {0604, 0604},
      {0444, 0444},         {0666, 0666}, {0755, 0755}, {0000, 0000},
  };
  const Bytes pixels = Pattern(100);
  const BITMAPINFO info = Description(3, 2, 24);
  for (const auto& [oldMode, newMode] : table) {
    TempFolder folder;
    if (oldMode) {
      WriteAll(folder / "a.bmp", Pattern(300, 9));
      fs::permissions(folder / "a.bmp", static_cast<fs::perms>(*oldMode));
    }
    ASSERT_TRUE(WriteBmpFile(folder / "a.bmp", info, pixels)) << std::oct << newMode;
    EXPECT_EQ(fs::status(folder / "a.bmp").permissions(), static_cast<fs::perms>(newMode))
        << std::oct << newMode;
    EXPECT_EQ(folder.Names(), std::set<std::string>{"a.bmp"}) << std::oct << newMode;
  }
  ::umask(oldMask);
}

// Saving to a symbolic link writes the file it leads to (through a chain of links too, and
// creating it when it does not exist yet): the link stays a link and the file its target was
// keeps its mode; nothing is left beside either. A loop of links writes nothing.
TEST(WriteBmpFile, WritesThroughASymbolicLinkToTheFileItLeadsTo) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // name -> what it points to
    const char* target;                                      // the file written, in the folder
    bool existing;                                           // the target is there before
  };
  const std::vector<Case> table = {
      {"beside the link", {{"a.bmp", "real.bmp"}}, "real.bmp", true},
      {"in another folder", {{"a.bmp", "sub/real.bmp"}}, "sub/real.bmp", true},
      {"absolute", {{"a.bmp", "@/sub/real.bmp"}}, "sub/real.bmp", true},
      {"relative to the link's folder",
       {{"a.bmp", "sub/b.bmp"}, {"sub/b.bmp", "../real.bmp"}},
       "real.bmp",
       true},
      {"a chain", {{"a.bmp", "b.bmp"}, {"b.bmp", "sub/real.bmp"}}, "sub/real.bmp", true},
      {"not there yet", {{"a.bmp", "sub/new.bmp"}}, "sub/new.bmp", false},
  };
  const Bytes pixels = Pattern(100);
  const BITMAPINFO info = Description(3, 2, 24);
  for (const Case& c : table) {
    TempFolder folder;
    fs::create_directory(folder / "sub");
    if (c.existing) {
      WriteAll(folder / c.target, Pattern(300, 9));
      fs::permissions(folder / c.target, static_cast<fs::perms>(0604));
    }
    for (const auto& [name, to] : c.links) {
      fs::create_symlink(to[0] == '@' ? folder.path().string() + to.substr(1) : to, folder / name);
    }
    ASSERT_TRUE(WriteBmpFile(folder / "a.bmp", info, pixels)) << c.what;
    EXPECT_EQ(ReadAll(folder / c.target), ExpectedFile(info, pixels, 24)) << c.what;
    EXPECT_FALSE(fs::is_symlink(folder / c.target)) << c.what;
    if (c.existing) {
      EXPECT_EQ(fs::status(folder / c.target).permissions(), static_cast<fs::perms>(0604))
          << c.what;
    }
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
      names.insert(entry.path().lexically_relative(folder.path()).string());
    }
    std::set<std::string> expected{"sub", c.target};
    for (const auto& [name, to] : c.links) {
      EXPECT_TRUE(fs::is_symlink(folder / name)) << c.what << ": " << name;
      EXPECT_EQ(fs::read_symlink(folder / name).string(),
                to[0] == '@' ? folder.path().string() + to.substr(1) : to)
          << c.what << ": " << name;
      expected.insert(name);
    }
    EXPECT_EQ(names, expected) << c.what;
  }
}

TEST(WriteBmpFile, FailsOnALoopOfSymbolicLinks) {
  TempFolder folder;
  fs::create_symlink("b.bmp", folder / "a.bmp");
  fs::create_symlink("a.bmp", folder / "b.bmp");
  EXPECT_FALSE(WriteBmpFile(folder / "a.bmp", Description(3, 2, 24), Pattern(100)));
  EXPECT_EQ(fs::read_symlink(folder / "a.bmp"), "b.bmp");
  EXPECT_EQ(fs::read_symlink(folder / "b.bmp"), "a.bmp");
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"a.bmp", "b.bmp"}));
}

TEST(WriteBmpFile, FailsWhereNoFileCanBeMade) {
  TempFolder folder;
  fs::create_directory(folder / "dir.bmp");
  const Bytes pixels = Pattern(100);
  const BITMAPINFO info = Description(3, 2, 24);
  EXPECT_FALSE(WriteBmpFile(folder / "dir.bmp", info, pixels));  // a folder of that name
  EXPECT_FALSE(WriteBmpFile(folder / "missing" / "a.bmp", info, pixels));
  EXPECT_TRUE(fs::is_directory(folder / "dir.bmp"));
  EXPECT_EQ(folder.Names(), std::set<std::string>{"dir.bmp"});
}

// A disk that fills up part-way (here a file-size limit of 64 KiB under a 1.3 MB picture) must
// not leave a file whose header claims more bytes than it holds: the old file stays, or none.
TEST(WriteBmpFile, AWriteFailingPartWayLeavesNoPartialFile) {
  for (const bool oldFile : {false, true}) {
    TempFolder folder;
    const Bytes old = Pattern(300, 9);
    if (oldFile) WriteAll(folder / "a.bmp", old);
    const Bytes pixels = Pattern(kDisplayBytes);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
      const rlimit limit{64 * 1024, 64 * 1024};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      const bool written = WriteBmpFile(folder / "a.bmp", Description(768, 576, 24), pixels);
      ::_exit(written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write did not fail";
    if (oldFile) {
      EXPECT_EQ(folder.Names(), std::set<std::string>{"a.bmp"});
      EXPECT_EQ(ReadAll(folder / "a.bmp"), old);
    } else {
      EXPECT_TRUE(folder.Names().empty());
    }
  }
}

// Written band by band, a file has the same bytes as written whole: the fill is asked for the
// rows in file order, in bands of the rows that fit the band size (at least one row, the last
// band what is left), and each band lands in its place.
TEST(WriteBmpFileInBands, WritesTheSameBytesAsAWholeWrite) {
  // {width, height, bits, band bytes, expected bands}: rows of 2300 bytes (766 x 24 bits), 8
  // bytes (3 x 8 bits, 256 palette entries), 12 bytes (3 x 24 bits).
  struct Case {
    int32_t width, height;
    uint16_t bits;
    size_t bandBytes;
    std::vector<std::pair<uint32_t, uint32_t>> bands;  // (first, lines)
  } const table[] = {
      {766, 5, 24, 4600, {{0, 2}, {2, 2}, {4, 1}}},
      {766, 5, 24, 100, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}},
      {3, 2, 8, 1 << 20, {{0, 2}}},
      {3, 4, 24, 36, {{0, 3}, {3, 1}}},
  };
  for (const Case& c : table) {
    TempFolder folder;
    BITMAPINFO info = Description(c.width, c.height, c.bits);
    info.bmiHeader.biClrUsed = 9;  // written as held
    const size_t row = (static_cast<size_t>(c.width) * c.bits + 31) / 32 * 4;
    const Bytes pixels = Pattern(row * static_cast<size_t>(c.height));
    std::vector<std::pair<uint32_t, uint32_t>> asked;
    ASSERT_TRUE(WriteBmpFileInBands(folder / "f.bmp", info, c.bandBytes,
                                    [&](uint32_t first, uint32_t lines, std::span<uint8_t> out) {
                                      asked.emplace_back(first, lines);
                                      EXPECT_EQ(out.size(), row * lines);
                                      std::memcpy(out.data(), pixels.data() + row * first,
                                                  out.size());
                                      return true;
                                    }))
        << c.width << " x " << c.bits;
    EXPECT_EQ(asked, c.bands) << c.width << " x " << c.bits;
    EXPECT_EQ(ReadAll(folder / "f.bmp"), ExpectedFile(info, pixels, pixels.size()))
        << c.width << " x " << c.bits;
    EXPECT_EQ(folder.Names(), std::set<std::string>{"f.bmp"});
  }
}

// A band that cannot be made stops the write: no file (and no temporary one) is left, an old
// file stays as it was; a description without pixel bytes asks for no band.
TEST(WriteBmpFileInBands, AFailedBandLeavesNoFile) {
  TempFolder folder;
  const Bytes old = Pattern(300, 9);
  WriteAll(folder / "old.bmp", old);
  int bands = 0;
  const auto failSecond = [&](uint32_t, uint32_t, std::span<uint8_t>) { return ++bands < 2; };
  EXPECT_FALSE(WriteBmpFileInBands(folder / "new.bmp", Description(8, 8, 24), 24, failSecond));
  bands = 0;
  EXPECT_FALSE(WriteBmpFileInBands(folder / "old.bmp", Description(8, 8, 24), 24, failSecond));
  EXPECT_EQ(folder.Names(), std::set<std::string>{"old.bmp"});
  EXPECT_EQ(ReadAll(folder / "old.bmp"), old);
  bands = 0;
  EXPECT_FALSE(WriteBmpFileInBands(folder / "none.bmp", Description(8, 8, 0), 24, failSecond));
  EXPECT_EQ(bands, 0);
}

// Rows taken from where they lie give the same file as the padded picture written whole: the
// writer adds each row's padding (766 x 24 bits: 2298 bytes padded to 2300; 3 x 8 bits: 3 to
// 4; 4 x 24 bits: none), even for more rows than one write takes parts (1,500). A row count
// other than the height, or a missing row, writes nothing.
TEST(WriteBmpFileFromRows, WritesTheRowsPaddedAsAWholeWriteWould) {
  struct Case {
    int32_t width, height;
    uint16_t bits;
  } const table[] = {{766, 3, 24}, {3, 2, 8}, {4, 1500, 24}};
  for (const Case& c : table) {
    TempFolder folder;
    const BITMAPINFO info = Description(c.width, c.height, c.bits);
    const size_t row = (static_cast<size_t>(c.width) * c.bits + 7) / 8;
    const size_t padded = (row + 3) / 4 * 4;
    const Bytes packed = Pattern(row * static_cast<size_t>(c.height));
    // The file's rows are the packed rows in reverse order, as a stored frame's are.
    std::vector<const uint8_t*> rows;
    Bytes whole;
    for (int32_t i = c.height - 1; i >= 0; --i) {
      rows.push_back(packed.data() + row * static_cast<size_t>(i));
      whole.insert(whole.end(), rows.back(), rows.back() + row);
      whole.insert(whole.end(), padded - row, 0);
    }
    ASSERT_TRUE(WriteBmpFileFromRows(folder / "f.bmp", info, rows)) << c.width << " x " << c.bits;
    EXPECT_EQ(ReadAll(folder / "f.bmp"), ExpectedFile(info, whole, whole.size()))
        << c.width << " x " << c.bits;
    EXPECT_EQ(folder.Names(), std::set<std::string>{"f.bmp"});

    rows.pop_back();
    EXPECT_FALSE(WriteBmpFileFromRows(folder / "short.bmp", info, rows));
    rows.push_back(nullptr);
    EXPECT_FALSE(WriteBmpFileFromRows(folder / "null.bmp", info, rows));
    EXPECT_EQ(folder.Names(), std::set<std::string>{"f.bmp"});
  }
}

}  // namespace
