// staticmem_probe.cpp - a second process for the static-memory contract checks: runs the commands
// given as arguments against the capture library and prints one result line per command. The
// runner starts it as itself with a probe argument (ProbeCommand), so it uses the same library.
//
//   get                  -> "pages <n>"        or "error <status>"
//   set <pages>          -> "ok"               or "error <status>"
//   write <offset> <hex> -> "ok"               or "error <status>"   (through a lock)
//   read <offset> <size> -> "bytes <hex>"      or "error <status>"   (through a lock)
#include <QuarnVideo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "contract_support.h"

namespace {

bool ParseNumber(const char* text, long long* value) {
  char* end = nullptr;
  *value = std::strtoll(text, &end, 10);
  return end != text && *end == '\0';
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* bytes) {
  if (text.size() % 2 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(i, 2);
    const unsigned long value = std::strtoul(pair.c_str(), &end, 16);
    if (*end != '\0') return false;
    bytes->push_back(static_cast<uint8_t>(value));
  }
  return true;
}

void PrintStatus(int status) {
  if (status == QUARN_OK) {
    std::printf("ok\n");
  } else {
    std::printf("error %d\n", status);
  }
}

}  // namespace

namespace contract {

std::vector<std::string>& ProbeCommand() {
  static std::vector<std::string> command;
  return command;
}

int ProbeMain(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string command = argv[i];
    long long first = 0;
    if (command == "get") {
      int pages = -1;
      const int status = QuarnGetStaticMem(&pages);
      if (status == QUARN_OK) {
        std::printf("pages %d\n", pages);
      } else {
        PrintStatus(status);
      }
    } else if (command == "set" && i + 1 < argc && ParseNumber(argv[i + 1], &first)) {
      ++i;
      PrintStatus(QuarnSetStaticMem(static_cast<int>(first)));
    } else if (command == "write" && i + 2 < argc && ParseNumber(argv[i + 1], &first)) {
      std::vector<uint8_t> bytes;
      if (!ParseHex(argv[i + 2], &bytes) || bytes.empty()) return 2;
      i += 2;
      QUARN_MEMLOCK lock = 0;
      void* address = nullptr;
      int status = QuarnStaticMemLock(static_cast<uint64_t>(first), bytes.size(), &lock, &address);
      if (status == QUARN_OK) {
        std::memcpy(address, bytes.data(), bytes.size());
        status = QuarnStaticMemUnlock(lock);
      }
      PrintStatus(status);
    } else if (command == "read" && i + 2 < argc && ParseNumber(argv[i + 1], &first)) {
      long long size = 0;
      if (!ParseNumber(argv[i + 2], &size) || size <= 0) return 2;
      i += 2;
      QUARN_MEMLOCK lock = 0;
      void* address = nullptr;
      int status = QuarnStaticMemLock(static_cast<uint64_t>(first), static_cast<uint64_t>(size),
                                      &lock, &address);
      if (status != QUARN_OK) {
        PrintStatus(status);
        continue;
      }
      std::string hex;
      const auto* bytes = static_cast<const uint8_t*>(address);
      for (long long at = 0; at < size; ++at) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[at]);
        hex += pair;
      }
      status = QuarnStaticMemUnlock(lock);
      if (status == QUARN_OK) {
        std::printf("bytes %s\n", hex.c_str());
      } else {
        PrintStatus(status);
      }
    } else {
      std::fprintf(stderr, "staticmem_probe: bad command at argument %d\n", i);
      return 2;
    }
  }
  return 0;
}

}  // namespace contract
