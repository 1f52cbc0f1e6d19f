// render.cpp - quarnsim_render: a developer tool that renders one frame of the simulated card's
// picture with the given parameters, converts it like QuarnDataTransform, and writes a BMP file.
//
//   quarnsim_render out.bmp [key=value ...]
//
// Keys: card, source (type or type,number; types video, svideo, ycbcr or 0..2), number, signal,
// standard (pal, ntsc, 0, 1), format (0..6 or yuv422, rgb888, rgb565, rgb555, rgb8888, all8,
// limited8), crystal, brightness, contrast, hue, saturation, pll, in=x,y,w,h, out=w,h,
// delay=x,y, mirrorh, mirrorv, chroma (chroma trap value), lines=all|even|odd, frame=N,
// mask=x,y,w,h (a masked rectangle, enables the mask). A flag given without a value means 1.
#include <QuarnVideo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "picture.h"
#include "pixels.h"

namespace {

bool ParseInts(const std::string& text, std::vector<int>* values, size_t count) {
  std::stringstream in(text);
  std::string part;
  values->clear();
  while (std::getline(in, part, ',')) {
    char* end = nullptr;
    const long v = std::strtol(part.c_str(), &end, 0);
    if (part.empty() || *end != '\0') return false;
    values->push_back(static_cast<int>(v));
  }
  return values->size() == count;
}

bool ParseNamed(const std::string& text, const std::map<std::string, int>& names, int* value) {
  if (const auto it = names.find(text); it != names.end()) {
    *value = it->second;
    return true;
  }
  std::vector<int> v;
  if (!ParseInts(text, &v, 1)) return false;
  *value = v[0];
  return true;
}

void Put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A BMP file: file header, 40-byte info header, grey colour table for 8 bits, then the bitmap.
std::vector<uint8_t> MakeBmp(const std::vector<uint8_t>& dib, int width, int height, int bits) {
  const uint32_t table = bits == 8 ? 256 * 4 : 0;
  const uint32_t offset = 14 + 40 + table;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + static_cast<uint32_t>(dib.size()));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));  // positive: bottom-up
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(bits));
  Put32(out, 0);  // no compression
  Put32(out, static_cast<uint32_t>(dib.size()));
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, bits == 8 ? 256 : 0);
  Put32(out, 0);
  for (uint32_t i = 0; i < table / 4; ++i) {
    out.insert(out.end(),
               {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
  }
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

int Usage() {
  std::cerr << "usage: quarnsim_render out.bmp [key=value ...]\n"
               "keys: card source number signal standard format crystal brightness contrast\n"
               "      hue saturation pll in=x,y,w,h out=w,h delay=x,y mirrorh mirrorv chroma\n"
               "      lines=all|even|odd frame=N mask=x,y,w,h\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  quarnsim::PictureParams p;
  quarnsim::Lines lines = quarnsim::Lines::kAll;
  uint32_t frame = 0;
  std::vector<int> maskRect;
  bool sizeGiven = false, windowGiven = false, crystalGiven = false;
  const std::map<std::string, int> sources = {{"video", QUARN_SOURCE_VIDEO},
                                              {"svideo", QUARN_SOURCE_SVIDEO},
                                              {"ycbcr", QUARN_SOURCE_YCBCR}};
  const std::map<std::string, int> standards = {{"pal", QUARN_STANDARD_PAL},
                                                {"ntsc", QUARN_STANDARD_NTSC}};
  const std::map<std::string, int> formats = {
      {"yuv422", QUARN_FORMAT_YUV422},    {"rgb888", QUARN_FORMAT_RGB888},
      {"rgb565", QUARN_FORMAT_RGB565},    {"rgb555", QUARN_FORMAT_RGB555},
      {"rgb8888", QUARN_FORMAT_RGB8888},  {"all8", QUARN_FORMAT_ALL8},
      {"limited8", QUARN_FORMAT_LIMITED8}};

  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t eq = arg.find('=');
    const std::string key = arg.substr(0, eq);
    const std::string value = eq == std::string::npos ? "1" : arg.substr(eq + 1);
    std::vector<int> v;
    int n = 0;
    bool ok = true;
    if (key == "source") {
      const size_t comma = value.find(',');
      ok = ParseNamed(value.substr(0, comma), sources, &p.sourceType);
      if (ok && comma != std::string::npos) {
        ok = ParseInts(value.substr(comma + 1), &v, 1);
        if (ok) p.sourceNumber = v[0];
      }
    } else if (key == "standard") {
      ok = ParseNamed(value, standards, &p.standard);
    } else if (key == "format") {
      ok = ParseNamed(value, formats, &p.format);
    } else if (key == "lines") {
      ok = value == "all" || value == "even" || value == "odd";
      lines = value == "even"  ? quarnsim::Lines::kEven
              : value == "odd" ? quarnsim::Lines::kOdd
                               : quarnsim::Lines::kAll;
    } else if (key == "in") {
      ok = ParseInts(value, &v, 4);
      if (ok) p.inputX = v[0], p.inputY = v[1], p.inputWidth = v[2], p.inputHeight = v[3];
      windowGiven = true;
    } else if (key == "out") {
      ok = ParseInts(value, &v, 2);
      if (ok) p.outputWidth = v[0], p.outputHeight = v[1], sizeGiven = true;
    } else if (key == "delay") {
      ok = ParseInts(value, &v, 2);
      if (ok) p.delayX = v[0], p.delayY = v[1];
    } else if (key == "mask") {
      ok = ParseInts(value, &maskRect, 4);
    } else if ((ok = ParseInts(value, &v, 1))) {
      n = v[0];
      if (key == "card")
        p.cardNumber = n;
      else if (key == "number")
        p.sourceNumber = n;
      else if (key == "signal")
        p.signal = n != 0;
      else if (key == "crystal")
        p.crystal = n, crystalGiven = true;
      else if (key == "brightness")
        p.brightness = static_cast<uint8_t>(n);
      else if (key == "contrast")
        p.contrast = static_cast<uint8_t>(n);
      else if (key == "hue")
        p.hue = static_cast<uint8_t>(n);
      else if (key == "saturation")
        p.saturation = static_cast<uint8_t>(n);
      else if (key == "pll")
        p.pll = static_cast<uint8_t>(n);
      else if (key == "mirrorh")
        p.mirrorHorizontal = n != 0;
      else if (key == "mirrorv")
        p.mirrorVertical = n != 0;
      else if (key == "chroma")
        p.chromaTrap = static_cast<uint8_t>(n);
      else if (key == "frame")
        frame = static_cast<uint32_t>(n);
      else
        ok = false;
    }
    if (!ok) {
      std::cerr << "quarnsim_render: cannot use '" << arg << "'\n";
      return Usage();
    }
  }
  // NTSC defaults to its own image size, window and crystal unless they were given.
  if (p.standard == QUARN_STANDARD_NTSC) {
    if (!sizeGiven) p.outputWidth = QUARN_NTSC_WIDTH, p.outputHeight = QUARN_NTSC_HEIGHT;
    if (!windowGiven) p.inputWidth = QUARN_NTSC_WIDTH, p.inputHeight = QUARN_NTSC_HEIGHT;
    if (!crystalGiven) p.crystal = QUARN_CRYSTAL_28M;
  }

  quarnsim::PixelMask mask;
  if (!maskRect.empty()) {
    p.maskEnabled = true;
    for (int y = maskRect[1]; y < maskRect[1] + maskRect[3]; ++y) {
      for (int x = maskRect[0]; x < maskRect[0] + maskRect[2]; ++x) mask.Set(x, y, true);
    }
  }
  quarnsim::PictureGenerator generator;
  generator.Configure(p);
  const int height = lines == quarnsim::Lines::kAll ? p.outputHeight : p.outputHeight / 2;
  std::vector<uint8_t> frameBytes(quarnsim::PackedFrameBytes(p.format, p.outputWidth, height));
  if (frameBytes.empty() ||
      generator.Render(frame, lines, &mask, frameBytes.data()) != frameBytes.size()) {
    std::cerr << "quarnsim_render: these parameters give no picture\n";
    return 1;
  }
  const int bits = quarnsim::BitsPerPixel(p.format) == 8 ? 8 : 24;
  std::vector<uint8_t> dib(quarnsim::DibStride(p.outputWidth, bits) * static_cast<size_t>(height));
  if (!quarnsim::TransformFrame(dib.data(), frameBytes.data(), p.outputWidth, height, p.format)) {
    std::cerr << "quarnsim_render: conversion failed\n";
    return 1;
  }
  const std::vector<uint8_t> bmp = MakeBmp(dib, p.outputWidth, height, bits);
  std::ofstream file(argv[1], std::ios::binary);
  file.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  if (!file) {
    std::cerr << "quarnsim_render: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
