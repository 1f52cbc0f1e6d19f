// private_profile.h - the programs' ini file in the manner of private-profile files: sections of
// "key=value" lines, read as integers with a default and updated key by key, everything else in
// the file kept as it was. The file lives in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gdi_types.h"

// Where a file name given without a folder is kept: $XDG_CONFIG_HOME/<name> when that variable
// holds an absolute path, else $HOME/.config/<name>. A name with a '/' is used as it is.
std::filesystem::path ProfilePath(std::string_view fileName);

// The integer reader's conversion of a value's text: leading blanks, an optional sign, then
// decimal digits (or hexadecimal ones after "0x"/"0X") up to the first other character. No digits
// gives 0. The number wraps modulo 2^32 like the 32-bit accumulator it mirrors.
int32_t ProfileTextToInt(std::string_view text);

// One ini file held in memory line by line. Loading keeps every line as it is (line ends
// included); setting a value rewrites only the line of that key, or inserts one line after the
// section's last non-blank line, or appends the section at the end of the file.
//
// Names of sections and keys compare without regard to ASCII case and surrounding blanks. When a
// section appears more than once, its first appearance is the one read and written; so is the
// first of a key repeated within it.
class CPrivateProfile {
 public:
  CPrivateProfile() = default;
  explicit CPrivateProfile(std::filesystem::path path) : path_(std::move(path)) {}

  // Reads the file. A missing file is an empty one (true). Any other failure to read it leaves
  // the profile empty and marks it unwritable, so that Save can never replace what it could not
  // read; returns false.
  bool Load();
  // Takes the text of a file directly (tests, or a caller that read it itself).
  void LoadText(std::string_view text);

  // The value's text with its surrounding blanks removed, or nothing when the section or key is
  // missing. A key line without '=' has an empty value.
  std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
  // The key's value through ProfileTextToInt; `defaultValue` when the section or key is missing
  // or the value is empty.
  int32_t GetInt(std::string_view section, std::string_view key, int32_t defaultValue) const;

  // Sets a key's value in memory (see the class comment). Line breaks in names or value are
  // replaced by blanks so one call always stays one line.
  void SetString(std::string_view section, std::string_view key, std::string_view value);
  // SetString with the value as a signed decimal ("%d").
  void SetInt(std::string_view section, std::string_view key, int32_t value);

  // Writes the file when something changed (creating a missing configuration folder with mode
  // 0700). The new text goes to a temporary file in the same folder that then replaces the file,
  // keeping its permissions; the temporary file has no name until its text is on disk (where the
  // file system allows), and a save that fails leaves none behind. Where no temporary file can
  // be made there (a read-only folder), the file is rewritten in place. A file that exists but
  // is not writable is left alone. A write past the process's file-size limit fails the save
  // rather than ending the program. Returns false when nothing could be written.
  bool Save();

  // The whole text as it would be written.
  std::string Text() const;
  const std::filesystem::path& Path() const { return path_; }

 private:
  struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\n", "\r\n" or "" for a last line without one
  };
  // Line index range [header, end) of a section's first appearance; header is the index of its
  // "[name]" line.
  struct SectionSpan {
    size_t header = 0;
    size_t end = 0;
  };

  std::optional<SectionSpan> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(const SectionSpan& span, std::string_view key) const;
  std::string NewLineEnding() const;

  std::filesystem::path path_;
  std::vector<Line> lines_;
  bool readable_ = true;  // false after a failed read: Save refuses to overwrite the file
  bool dirty_ = false;    // a SetString changed the text since the last Load or Save
  bool bom_ = false;      // the file starts with a UTF-8 byte order mark, kept when it is written
};

// The private-profile calls as single operations on the file named `fileName` (see ProfilePath).
// Each reads the file afresh; the write also saves it at once.
UINT GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                          const char* fileName);
// Sets one key; a null section, key or value writes nothing. Returns 1 when the file was written.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName);
