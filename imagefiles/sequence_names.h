// sequence_names.h - the file names of frame sequences on disk: the base path formed from the
// path chosen in the file dialog, the numbered names written by Save Serials in each program, and
// the prefix Open Serials plays back from. Plain string rules; numbers are decimal without
// leading zeros and count from 1.
#pragma once

#include <string>
#include <string_view>

// The chosen path without a final ".bmp" (exactly lower case: "a.BMP" stays whole).
std::string SequenceBasePath(std::string_view chosenPath);

// Hexmont's name for frame `frameNumber` of card `cardNumber`: base, card number, "_", frame
// number, ".bmp" ("D:\a" -> "D:\a2_3.bmp").
std::string CardFrameFileName(std::string_view basePath, int cardNumber, int frameNumber);

// Solvane's name for frame `frameNumber`: base, frame number, ".bmp" ("D:\a" -> "D:\a3.bmp").
std::string FrameFileName(std::string_view basePath, int frameNumber);

// The prefix Open Serials keeps from the base path of the file chosen: the last character goes,
// together with every identical character directly before it, so choosing the first file of a
// sequence gives the sequence's base ("seq1" -> "seq", "seq11" -> "seq", "seq10" -> "seq1"). An
// empty base stays empty.
std::string SequencePrefix(std::string_view basePath);
