// private_profile_test.cpp - the ini reader and writer: the integer reader's conversion, lookups
// by section and key, updates that keep every other line, and saving over hostile or protected
// files and folders without losing what they hold.
#include "private_profile.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A private folder, removed (with its permissions restored) at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "profile_test.XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(path_, error)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Runs `body` in a child process and returns how the child ended (waitpid's status); the child
// exits with what `body` returns. What the child changes (its limits, its user) stays there.
int RunInChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const int code = body();
    std::fflush(nullptr);
    ::_exit(code);
  }
  int status = -1;
  if (child > 0) ::waitpid(child, &status, 0);
  return status;
}

// Runs `check` as an ordinary user, so that file and folder permissions bind it. Root (as CI
// runs) passes them all, so there `check` runs in a child that has handed `folder` to user and
// group 65534 (nobody) and become that user first; its failures are printed where they happen,
// and the test fails with it. (The temporary folder's parent must let that user in, as /tmp
// does.)
void AsOrdinaryUser(const fs::path& folder, const std::function<void()>& check) {
  if (::geteuid() != 0) {
    check();
    return;
  }
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
  const int status = RunInChild([&] {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      std::fprintf(stderr, "cannot become user %u\n", kNobody);
      return 2;
    }
    check();
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the check as user " << kNobody << " failed (wait status " << status << ")";
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

// ---- The integer reader -------------------------------------------------------------------------

TEST(ProfileTextToInt, ReadsDigitsUpToTheFirstOtherCharacter) {
  EXPECT_EQ(ProfileTextToInt("245"), 245);
  EXPECT_EQ(ProfileTextToInt("  \t12abc"), 12);
  EXPECT_EQ(ProfileTextToInt("7 8"), 7);
  EXPECT_EQ(ProfileTextToInt("3.9"), 3);  // no rounding: the dot ends the number
}

TEST(ProfileTextToInt, TakesOneSign) {
  EXPECT_EQ(ProfileTextToInt("-5"), -5);
  EXPECT_EQ(ProfileTextToInt("+5"), 5);
  EXPECT_EQ(ProfileTextToInt("--5"), 0);
  EXPECT_EQ(ProfileTextToInt("- 5"), 0);  // the digits must follow the sign
}

TEST(ProfileTextToInt, ReadsHexadecimalAfter0x) {
  EXPECT_EQ(ProfileTextToInt("0x1F"), 31);
  EXPECT_EQ(ProfileTextToInt("0Xff"), 255);
  EXPECT_EQ(ProfileTextToInt("-0x10"), -16);
  EXPECT_EQ(ProfileTextToInt("0x"), 0);
  // Without the prefix hexadecimal letters end a decimal number.
  EXPECT_EQ(ProfileTextToInt("1f"), 1);
}

TEST(ProfileTextToInt, TextWithoutDigitsIsZero) {
  EXPECT_EQ(ProfileTextToInt("abc"), 0);
  EXPECT_EQ(ProfileTextToInt("-"), 0);
  EXPECT_EQ(ProfileTextToInt(""), 0);
}

TEST(ProfileTextToInt, HugeNumbersWrapModulo2To32) {
  // A reader that saturated or failed on overflow would give INT_MAX or 0 here.
  EXPECT_EQ(ProfileTextToInt("4294967296"), 0);
  EXPECT_EQ(ProfileTextToInt("4294967295"), -1);
  EXPECT_EQ(ProfileTextToInt("99999999999"), 1215752191);
  EXPECT_EQ(ProfileTextToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(ProfileTextToInt(std::string(5000, '9')), ProfileTextToInt(std::string(5000, '9')));
}

// ---- Reading ------------------------------------------------------------------------------------

TEST(ProfileRead, MissingSectionKeyOrEmptyValueGivesTheDefault) {
  CPrivateProfile p;
  p.LoadText("[A]\nKey=5\nEmpty=\nBlank=   \nBare\n");
  EXPECT_EQ(p.GetInt("A", "Key", 9), 5);
  EXPECT_EQ(p.GetInt("A", "Other", 9), 9);
  EXPECT_EQ(p.GetInt("B", "Key", 9), 9);
  EXPECT_EQ(p.GetInt("A", "Empty", 9), 9);
  EXPECT_EQ(p.GetInt("A", "Blank", 9), 9);
  EXPECT_EQ(p.GetInt("A", "Bare", 9), 9);  // a key line without '='
}

TEST(ProfileRead, NamesIgnoreCaseAndBlanks) {
  CPrivateProfile p;
  p.LoadText("  [ video parameter ]  \r\n  brightness  =  77  \r\n");
  EXPECT_EQ(p.GetInt("Video Parameter", "Brightness", 0), 77);
}

TEST(ProfileRead, KeysOfOtherSectionsAndCommentsAreNotSeen) {
  CPrivateProfile p;
  p.LoadText("Key=1\n[A]\n;Key=2\n[B]\nKey=3\n");
  // A reader that ignored section bounds would find the key before [A] or in [B].
  EXPECT_EQ(p.GetInt("A", "Key", 9), 9);
  EXPECT_EQ(p.GetInt("B", "Key", 9), 3);
}

TEST(ProfileRead, FirstAppearanceOfARepeatedSectionOrKeyWins) {
  CPrivateProfile p;
  p.LoadText("[A]\nKey=1\nKey=2\n[A]\nKey=3\nOnly=4\n");
  EXPECT_EQ(p.GetInt("A", "Key", 9), 1);
  EXPECT_EQ(p.GetInt("A", "Only", 9), 9);  // the second [A] is not read
}

TEST(ProfileRead, AValueMayHoldAnEqualsSign) {
  CPrivateProfile p;
  p.LoadText("[A]\nKey= 12=3\n");
  EXPECT_EQ(p.GetString("A", "Key"), "12=3");
  EXPECT_EQ(p.GetInt("A", "Key", 0), 12);
}

// Files written by hand or by other editors: quoted values, lone CR line ends and a byte order
// mark read as the platform's reader reads them, and keep their form when a value is updated.
TEST(ProfileRead, QuotesLoneCarriageReturnsAndAByteOrderMarkAreReadThrough) {
  struct Case {
    const char* text;
    int32_t brightness;
    int32_t pll;
  } const cases[] = {
      {"[V]\nBrightness=\"200\"\nPLL='7'\n", 200, 7},
      {"[V]\nBrightness=\"\"\nPLL=''\n", 128, 245},  // an empty quoted value: the default
      {"[V]\nBrightness=\"12\nPLL=3'\n", 0, 3},      // unmatched quotes stay part of the value
      {"[V]\rBrightness=200\rPLL=7\r", 200, 7},
      {"\xEF\xBB\xBF[V]\r\nBrightness=200\r\nPLL=7\r\n", 200, 7},
  };
  for (const Case& c : cases) {
    CPrivateProfile p;
    p.LoadText(c.text);
    EXPECT_EQ(p.GetInt("V", "Brightness", 128), c.brightness) << c.text;
    EXPECT_EQ(p.GetInt("V", "PLL", 245), c.pll) << c.text;
  }
  CPrivateProfile bom;
  bom.LoadText("\xEF\xBB\xBF[V]\rBrightness=1\r");
  bom.SetInt("V", "Brightness", 2);
  bom.SetInt("V", "PLL", 3);
  // Updated in place: no second section, the mark and the line ends kept.
  EXPECT_EQ(bom.Text(), "\xEF\xBB\xBF[V]\rBrightness=2\rPLL=3\r");
}

// ---- Updating -----------------------------------------------------------------------------------

TEST(ProfileWrite, UpdatesInPlaceAndKeepsEveryOtherLine) {
  CPrivateProfile p;
  p.LoadText("; notes\n[A]\nfirst = 1\nKey = 2 ; old\nlast=3\n\n[B]\nKey=4\n");
  p.SetInt("A", "key", 20);
  EXPECT_EQ(p.Text(), "; notes\n[A]\nfirst = 1\nKey=20\nlast=3\n\n[B]\nKey=4\n");
}

TEST(ProfileWrite, AppendsANewKeyAfterTheSectionsLastLine) {
  CPrivateProfile p;
  p.LoadText("[A]\nx=1\n\n\n[B]\ny=2\n");
  p.SetInt("A", "New", -5);
  // The blank lines between the sections stay between them.
  EXPECT_EQ(p.Text(), "[A]\nx=1\nNew=-5\n\n\n[B]\ny=2\n");
}

TEST(ProfileWrite, AppendsANewSectionAtTheEnd) {
  CPrivateProfile p;
  p.LoadText("[A]\nx=1");  // no line end on the last line
  p.SetInt("B", "y", 2);
  EXPECT_EQ(p.Text(), "[A]\nx=1\n[B]\ny=2\n");
}

TEST(ProfileWrite, NewLinesFollowTheFilesLineEnds) {
  CPrivateProfile p;
  p.LoadText("[A]\r\nx=1\r\n");
  p.SetInt("A", "y", 2);
  p.SetInt("A", "x", 3);
  EXPECT_EQ(p.Text(), "[A]\r\nx=3\r\ny=2\r\n");
}

TEST(ProfileWrite, WritesIntoTheFirstOfARepeatedSection) {
  CPrivateProfile p;
  p.LoadText("[A]\nKey=1\n[A]\nKey=2\n");
  p.SetInt("A", "Key", 5);
  p.SetInt("A", "New", 6);
  EXPECT_EQ(p.Text(), "[A]\nKey=5\nNew=6\n[A]\nKey=2\n");
}

TEST(ProfileWrite, LineBreaksInAValueCannotAddLines) {
  CPrivateProfile p;
  p.SetString("A", "Key", "1\n[B]\nx=2");
  EXPECT_EQ(p.Text(), "[A]\nKey=1 [B] x=2\n");
  EXPECT_EQ(p.GetInt("B", "x", 9), 9);
}

// ---- Files --------------------------------------------------------------------------------------

TEST(ProfileFile, PathComesFromTheConfigurationFolder) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string keep = saved != nullptr ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(ProfilePath("QuarnCard.ini"), fs::path("/tmp/cfg/QuarnCard.ini"));
  // A relative value is not a configuration folder: the default under $HOME is used.
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  const char* home = std::getenv("HOME");
  EXPECT_EQ(ProfilePath("QuarnCard.ini"),
            fs::path(home != nullptr ? home : "") / ".config" / "QuarnCard.ini");
  if (saved != nullptr) {
    ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(ProfileFile, MissingFileReadsEmptyAndSaveCreatesFolderAndFile) {
  TempFolder temp;
  const fs::path file = temp.path() / "missing" / "deeper" / "QuarnCard.ini";
  CPrivateProfile p(file);
  EXPECT_TRUE(p.Load());
  EXPECT_EQ(p.GetInt("A", "x", 7), 7);
  p.SetInt("A", "x", 1);
  ASSERT_TRUE(p.Save());
  EXPECT_EQ(ReadFile(file), "[A]\nx=1\n");
  EXPECT_EQ(fs::status(file.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(ProfileFile, SaveKeepsAOneMegabyteLineAndTheFilesPermissions) {
  TempFolder temp;
  const fs::path file = temp.path() / "QuarnCard.ini";
  const std::string huge(1 << 20, 'x');
  const std::string original = "[Other]\nblob=" + huge + "\n[A]\nx=1\n";
  WriteFile(file, original);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  CPrivateProfile p(file);
  ASSERT_TRUE(p.Load());
  EXPECT_EQ(p.GetInt("Other", "blob", 3), 0);  // text reads as 0
  p.SetInt("A", "x", 2);
  ASSERT_TRUE(p.Save());
  EXPECT_EQ(ReadFile(file), "[Other]\nblob=" + huge + "\n[A]\nx=2\n");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 1);
}

TEST(ProfileFile, ReadOnlyFileIsLeftAlone) {
  TempFolder temp;
  AsOrdinaryUser(temp.path(), [&] {
    const fs::path file = temp.path() / "QuarnCard.ini";
    WriteFile(file, "[A]\nx=1\n");
    fs::permissions(file, fs::perms::owner_read);
    CPrivateProfile p(file);
    ASSERT_TRUE(p.Load());
    p.SetInt("A", "x", 2);
    EXPECT_FALSE(p.Save());
    EXPECT_EQ(ReadFile(file), "[A]\nx=1\n");
  });
}

TEST(ProfileFile, ReadOnlyFolderWithAWritableFileIsRewrittenInPlace) {
  TempFolder temp;
  AsOrdinaryUser(temp.path(), [&] {
    const fs::path folder = temp.path() / "ro";
    fs::create_directory(folder);
    const fs::path file = folder / "QuarnCard.ini";
    WriteFile(file, "; keep\n[A]\nx=1\n");
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    CPrivateProfile p(file);
    ASSERT_TRUE(p.Load());
    p.SetInt("A", "x", 2);
    EXPECT_TRUE(p.Save());
    EXPECT_EQ(ReadFile(file), "; keep\n[A]\nx=2\n");
  });
}

TEST(ProfileFile, ReadOnlyFolderWithoutAFileWritesNothing) {
  TempFolder temp;
  AsOrdinaryUser(temp.path(), [&] {
    const fs::path folder = temp.path() / "ro";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    CPrivateProfile p(folder / "QuarnCard.ini");
    ASSERT_TRUE(p.Load());
    p.SetInt("A", "x", 2);
    EXPECT_FALSE(p.Save());
    EXPECT_FALSE(fs::exists(folder / "QuarnCard.ini"));
  });
}

TEST(ProfileFile, UnreadableFileIsNeverOverwritten) {
  // The fault: saving an empty profile over a file that could not be read would erase it.
  TempFolder temp;
  AsOrdinaryUser(temp.path(), [&] {
    const fs::path file = temp.path() / "QuarnCard.ini";
    WriteFile(file, "[A]\nx=1\n");
    fs::permissions(file, fs::perms::owner_write);
    CPrivateProfile p(file);
    EXPECT_FALSE(p.Load());
    EXPECT_EQ(p.GetInt("A", "x", 7), 7);
    p.SetInt("B", "y", 2);
    EXPECT_FALSE(p.Save());
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(file), "[A]\nx=1\n");
  });
}

TEST(ProfileFile, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
  // The fault: a write past the file-size limit ended the program with SIGXFSZ in the middle of
  // the save, leaving its temporary file beside the ini file.
  struct Case {
    const char* what;
    rlim_t fileSizeLimit;
    bool folderTakesTheName;  // the name is a folder when the new file is to replace it
  };
  const Case cases[] = {
      {"a file-size limit below the new text", 16, false},
      {"the rename fails", RLIM_INFINITY, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder temp;
    const fs::path file = temp.path() / "QuarnCard.ini";
    const std::string original = "[A]\nx=1\n";
    WriteFile(file, original);
    CPrivateProfile p(file);
    ASSERT_TRUE(p.Load());
    p.SetString("A", "blob", std::string(100, 'y'));
    if (c.folderTakesTheName) {
      fs::remove(file);
      fs::create_directory(file);
    }
    // In a child, which the limit binds alone; it exits with 1 when the save reported success.
    const int status = RunInChild([&] {
      rlimit limit{};
      ::getrlimit(RLIMIT_FSIZE, &limit);
      limit.rlim_cur = c.fileSizeLimit;
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
      return p.Save() ? 1 : 0;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the save did not fail normally (wait status " << status << ")";
    EXPECT_EQ(Entries(temp.path()), std::set<std::string>{"QuarnCard.ini"});
    if (!c.folderTakesTheName) {
      EXPECT_EQ(ReadFile(file), original);
    }
  }
}

TEST(ProfileFile, AFolderInPlaceOfTheFileIsNeitherReadNorReplaced) {
  TempFolder temp;
  const fs::path file = temp.path() / "QuarnCard.ini";
  fs::create_directory(file);
  CPrivateProfile p(file);
  EXPECT_FALSE(p.Load());
  p.SetInt("A", "x", 2);
  EXPECT_FALSE(p.Save());
  EXPECT_TRUE(fs::is_directory(file));
}

TEST(ProfileFile, SingleCallsReadAndWriteThroughTheConfigurationFolder) {
  TempFolder temp;
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string keep = saved != nullptr ? saved : "";
  ::setenv("XDG_CONFIG_HOME", temp.path().c_str(), 1);
  EXPECT_EQ(GetPrivateProfileInt("A", "x", 7, "t.ini"), 7u);
  EXPECT_EQ(WritePrivateProfileString("A", "x", "-3", "t.ini"), 1);
  EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("A", "x", 7, "t.ini")), -3);
  EXPECT_EQ(WritePrivateProfileString("A", "x", nullptr, "t.ini"), 0);
  EXPECT_EQ(ReadFile(temp.path() / "t.ini"), "[A]\nx=-3\n");
  if (saved != nullptr) {
    ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
