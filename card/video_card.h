// video_card.h - CVideoCard, one card of either program: its library handle, every parameter the
// card last accepted (its record), the input and output windows, the display buffer with its
// header and palette, and the acquisition state. It is the only code that calls the capture
// library for a card; what the programs do differently is its CardPolicy. Plus Solvane's opening
// and closing steps around its one card.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "QuarnVidEx.h"
#include "QuarnVideo.h"
#include "acquisition_state.h"
#include "card_helpers.h"
#include "card_policy.h"
#include "display_picture.h"
#include "gdi_types.h"
#include "host_window.h"
#include "snap_context.h"
#include "static_claims.h"
#include "static_frames.h"
#include "video_parameter_set.h"

class CDC;

class CVideoCard {
 public:
  explicit CVideoCard(int cardNumber = 1, const CardPolicy& policy = kSingleCardPolicy);

  // While presetting, a setter called before the card is open keeps its value whatever the
  // library answers for the unopened card: the values given at start-up (format from the display
  // depth, the saved parameter set) are then sent when the card opens (ApplyParameters). The
  // library answers handle 0 with a plain error, so without this the saved set would be lost.
  void SetPresetting(bool on) { presetting_ = on; }
  // Stops acquisition and releases the card (EndQuarnCard only while the handle is still set).
  virtual ~CVideoCard();
  CVideoCard(const CVideoCard&) = delete;
  CVideoCard& operator=(const CVideoCard&) = delete;

  // Who the card's claims are made for (static_claims.h): the programs' cards share
  // kProgramOwner; a source element claims for itself. Set before the card opens.
  void SetClaimOwner(ClaimOwner owner) { claimOwner_ = owner; }
  ClaimOwner GetClaimOwner() const { return claimOwner_; }

  // ---- Lifecycle (virtual, in this order) ----
  // Nothing (0) when already open. Else Begin; a failure is returned unchanged and the handle
  // stays 0. On success detects the source, applies the parameters, sets up the display.
  virtual int Open();
  // BeginQuarnCard alone (Hexmont opens every card before its window exists and sets them up
  // later); a failure is returned and the handle stays 0. Nothing (0) when already open. The card
  // is claimed for the claim owner first: QUARN_ERR_BUSY, and nothing called, while another owner
  // (a source element, here or in another process) has it. The claim is held until the card is
  // ended (Close, Release).
  int Begin();
  // Stops acquisition, then EndQuarnCard; the handle is cleared only when that returns 0, and then
  // the card and its ring are no longer claimed.
  virtual int Close();
  // Selects the first input with a signal (else "Video 1"); nothing while the handle is 0 unless
  // the policy sends calls for a card that did not open.
  virtual void DetectSource();
  // Sends every kept parameter to the card in the policy's order; nothing while the handle is 0
  // unless the policy sends calls for a card that did not open. A value the card turns down as
  // out of range (QUARN_ERR_BAD_PARAMETER: a standard, format, scan mode, crystal, mask, delay,
  // mirror or chroma trap it has no use for, read from the ini file or kept from before the card
  // opened) goes back to its initial value, so it is neither shown as in force nor saved. (The
  // grid keeps a refused format, which comes from the display depth, and a refused standard
  // also resets the input window to the default image.)
  virtual void ApplyParameters();
  // Sets the picture up: the grey palette, a fresh description and the display buffer (filled
  // with the policy's byte); a failed allocation leaves the buffer empty and its size 0.
  virtual void SetupDisplay();
  // EndQuarnCard when the handle is set, or always when the policy sends calls for a card that
  // did not open (status ignored, handle kept), then cuts the snap callback off
  // (DetachSnapCallback), frees the picture's buffer and palette and lets go of every claim (the
  // card, its ring, its stored frames).
  virtual void Release();
  // Stops live video (state 2) or closes the snap (state 4); the state becomes idle.
  virtual void StopAcquisition();
  // Cuts the snap callback off from what it was opened with, waiting for one in flight; a
  // callback the library still makes afterwards does nothing. Run before that goes.
  void DetachSnapCallback() { snapContext_.Reset(); }

  // Replaces the whole record without telling the card (the values read from the ini file, sent
  // later by ApplyParameters or the setters).
  void SetRecord(const VideoParameterSet& set) { params_ = set; }

  // ---- Parameter setters: call the library with the handle (0 included), remember the value
  // when it answers 0 (or QUARN_ERR_NOT_APPLIED, by the policy), return the status. Byte values
  // are passed and kept as their low 8 bits. ----
  int SetScanMode(int scanMode);
  int SetVideoFormat(int format);
  int SetVideoStandard(int standard);
  int SetVideoSource(int type, int number);
  int SetCrystal(int crystal);
  int SetDelay(int xDelay, int yDelay);
  int SetBrightness(int value);
  int SetContrast(int value);
  int SetHue(int value);
  int SetSaturation(int value);
  int SetPllFrequency(int value);
  // Kept in the flag of that direction (0 horizontal, 1 vertical).
  int SetMirror(int direction, int enable);
  // QuarnLumaControl(item, value); the value's low 8 bits are kept as the chroma trap.
  int SetChromaTrap(int item, int value);
  int EnableMask(int enable);
  // Loads the demonstration mask pattern for a picture of width x height (statuses ignored).
  void LoadDemonstrationMask(int width, int height);
  // QuarnSetPixelMask for every pixel of the rectangle, column by column; the first non-zero
  // status ends the loops and is returned, else 0 (pixel_mask.cpp).
  int SetPixelMaskRect(int x, int y, int width, int height, int value);
  // The format for a display depth (FormatForDepth), through SetVideoFormat.
  int SetFormatFromDepth(int depth);
  // A flat source index through SetVideoSource. An index outside 0..10 names no source: the
  // current source is sent again, so the library sees a valid pair and nothing changes.
  int SetSourceFromIndex(int index);

  // ---- Windows: remembered only when the library answers 0 (QUARN_ERR_NOT_APPLIED leaves them),
  // or whatever it answers when the windows follow the program's layout (policy).
  int SetInputWindow(int x, int y, int width, int height);
  int SetOutputWindow(int x, int y, int width, int height);
  // Rectangle forms: (left, top, right - left, bottom - top) in, (x, y, x + w, y + h) out.
  int SetInputRect(const RECT& rect);
  int SetOutputRect(const RECT& rect);
  RECT GetInputRect() const;
  RECT GetOutputRect() const;

  // ---- Frames and display ----
  // Bytes of one stored frame: bytes per pixel x output width x output height, the height
  // halved in the field scan modes (1 and 2).
  int64_t FrameBytes() const;
  // Sets the display header up for stored frames: 8 bits for the 8-bit formats, else 24; the
  // output width; the output height, halved unless the scan mode is 0 and interline is on.
  void SetFrameHeader(int interline);
  // Fills the display buffer with 0xFF (white); nothing when there is none.
  void ClearDisplayBuffer();

  // ---- Live video, frozen frames and painting (video_card_acquire.cpp) ----
  // Palette step, then QuarnCaptureEx(handle, window, on); on 0 the state becomes 2 (on) or 0.
  // Palette step: with a palette and an 8-bit format (5 or 6), state 0 selects the card's palette
  // into a context of `window` (keeping the displaced one) and realizes it; state 2 selects the
  // kept one back and realizes it.
  int Capture(CHostWindow& window, int on);
  // The same palette step, then QuarnCaptureShot; returns its status.
  int CaptureShot(CHostWindow& window);
  // Reads the picture shown at (0, 0) of `dc` into the display buffer: output width x output
  // height (halved when the scan mode is not 0). On 0 the header's width and height become that
  // size (the library writes the bit count). Returns the library status; QUARN_ERR_BAD_PARAMETER
  // without a display buffer or context.
  int GetDisplayBits(CDC* dc);
  // The same read-back from client point (x, y) of `dc` (a grid cell's corner).
  int ReadBack(CDC& dc, int x, int y);
  // Paints the display buffer 1:1 at the context's origin (palette rule around it); 0 without a
  // buffer, else StretchDIBits' result.
  int Draw(CDC* dc);
  // Like Draw with the given rectangles, after setting the stretch mode to COLORONCOLOR.
  int DrawStretched(CDC* dc, int x, int y, int width, int height, int sourceX, int sourceY,
                    int sourceWidth, int sourceHeight);
  // Sets `size` bytes of static memory from `offset` to `value` (QuarnStaticMemLock, fill,
  // unlock); needs no card. Returns the lock's status, or QUARN_ERR_BUSY, with nothing locked or
  // written, while another owner than `owner` has any of the range claimed.
  static int FillStaticMem(uint64_t offset, uint64_t size, uint8_t value,
                           ClaimOwner owner = kProgramOwner);

  // ---- Continuous snap and frames in static memory (video_card_acquire.cpp) ----
  // "Idle only" and "snap open only" below hold when the policy guards the snap by the card's
  // state; otherwise the caller's mode decides and the call always goes out.
  // Idle only (else 0, nothing called): QuarnOpenSnapEx(handle, callback, context); on 0 the
  // state becomes 4. The context the callback receives is the card's CSnapContext, leading to
  // `target` until the snap is confirmed closed or DetachSnapCallback runs.
  int OpenSnap(QuarnSnapCallback callback, void* target);
  // Snap open only (else 0): QuarnCloseSnapEx; on 0 the state becomes idle and the ring is no
  // longer claimed. The library returns only when no callback runs any more. A failed close leaves
  // the snap open (state 4).
  int CloseSnap();
  // Snap open only (else 0): QuarnStartSnapEx(handle, offset, interline, count) over a ring of
  // `count` frames. The display header describes the stored frames afterwards (SetFrameHeader);
  // it is written before the start, because the callback reads it as soon as frames arrive, and
  // put back as it was when the start fails. A started ring writes over what a snap shot stored,
  // so the stored frames are forgotten then. The ring's range (count x the stored frame's bytes)
  // is claimed first: QUARN_ERR_BUSY, nothing called and the header untouched, while another owner
  // has any of it. The claim is held until the ring stops (StopSnap, CloseSnap) or the card ends.
  int StartSnap(uint64_t offset, int interline, uint16_t count);
  // Snap open only (else 0): QuarnStopSnapEx, which returns when no callback runs any more; on 0
  // the ring is no longer claimed.
  int StopSnap();
  // Whether the card's snap is open and may deliver (a close that failed leaves it open).
  bool SnapOpen() const { return state_ == CardState::kSnap; }
  // The snap callback's work for ring slot `slot` of a ring at `ringOffset` (library thread):
  // converts that frame into the picture as the header describes it (set when the snap started).
  // Returns the transform's status; a failed lock leaves the old picture.
  int ConvertSnapSlot(uint64_t ringOffset, uint32_t slot);
  // Idle only (else 0, nothing called): QuarnSnapShot(handle, offset, reserved, interline,
  // count), then on 0 SetFrameHeader(interline) and the stored frames are kept (GetStoredFrames):
  // `count` frames from `offset`, of the current format, as wide and high as the header says,
  // R x height bytes apart (R the row padded to 4 bytes, or unpadded, by the policy). The frames'
  // range (the larger of the stored and the padded size) is claimed first: QUARN_ERR_BUSY and
  // nothing called while another owner has any of it. The claim is kept with the stored frames,
  // until they are forgotten (a ring starts, a new snap shot succeeds) or the card goes (Release).
  int SnapShot(uint64_t offset, uint32_t reserved, int interline, uint16_t count);
  // The frames the last successful snap shot stored; count 0 when there are none (no snap shot
  // yet, or a ring started since).
  const StoredFrames& GetStoredFrames() const { return storedFrames_; }
  // Converts stored frame `index` into the display buffer as it was stored, whatever the card's
  // format and windows are now, and describes the picture as that frame. Returns 0 without a
  // display buffer, QUARN_ERR_BAD_PARAMETER for an index outside the stored frames, the lock's
  // status when the lock fails (the picture is kept), else the transform's status.
  int TransformStoredFrame(uint32_t index);
  // Writes stored frame `index` as it was stored as a BMP file at `path`, straight from static
  // memory without passing through the display buffer (CDisplayPicture::WriteStoredFrame: a frame
  // that cannot be locked gives the file the picture as it is). Returns whether a file was
  // written; nothing without a display buffer or for an index outside the stored frames.
  bool WriteStoredFrame(uint32_t index, const std::string& path) const;
  // Copies frame `index` of the snap ring starting at `offset` into the display buffer as a
  // bitmap the header describes, in the card's current format. Frames are taken R x biHeight bytes
  // apart, R being the row of biWidth pixels padded to 4 bytes. Returns 0 without a display buffer,
  // the lock's status when the lock fails, else the transform's status (a frame too large for the
  // buffer is refused with QUARN_ERR_BAD_PARAMETER).
  int TransformFromStaticMem(uint64_t offset, uint32_t index);

  // ---- Image files (video_card_acquire.cpp) ----
  // Writes the picture as a BMP file at `path`; nothing without a name or a display buffer, or
  // when the description gives no pixel bytes. Returns whether the file was written. Valid while
  // the snap delivers: the file holds one whole frame (CDisplayPicture::WriteBmpFile).
  bool WriteBmpFile(const std::string& path) const;
  // Reads a BMP file into the picture; a file that is refused leaves the description as it was.
  // Fails without a name or a display buffer, and while the snap is open (its callback converts
  // frames into the picture by the description the file would replace).
  bool ReadBmpFile(const std::string& path);

  // ---- Queries and pass-throughs ----
  // QuarnGetCardType(handle, &type); returns its status.
  int GetCardType(int& type) const;
  // QuarnVideoPresent(handle, &present): whether the selected input carries a signal; returns its
  // status (`present` is left as it was on a failure).
  int SignalPresent(bool& present) const;
  // Static memory reservation in pages (QuarnGetStaticMem / QuarnSetStaticMem); needs no card.
  static int GetStaticMem(int& pages);
  // The number of installed cards (QuarnGetCardTotal); returns its status.
  static int CardTotal(int& count);
  static int SetStaticMem(int pages);

  // ---- Read access ----
  QUARN_HANDLE GetHandle() const { return handle_; }
  int GetCardNumber() const { return cardNumber_; }
  CardState GetState() const { return state_; }
  const CardPolicy& Policy() const { return policy_; }
  const VideoParameterSet& Params() const { return params_; }
  int GetScanMode() const { return params_.scanMode; }
  int GetVideoFormat() const { return params_.format; }
  int GetVideoStandard() const { return params_.standard; }
  int GetSourceType() const { return params_.sourceType; }
  int GetSourceNumber() const { return params_.sourceNumber; }
  // SourceToIndex of the kept source.
  int GetSourceIndex() const;
  int GetCrystal() const { return params_.crystal; }
  uint8_t GetHue() const { return params_.hue; }
  uint8_t GetBrightness() const { return params_.brightness; }
  uint8_t GetContrast() const { return params_.contrast; }
  uint8_t GetSaturation() const { return params_.saturation; }
  uint8_t GetPllFrequency() const { return params_.pll; }
  const VideoWindow& GetInputWindow() const { return params_.inputWindow; }
  const VideoWindow& GetOutputWindow() const { return params_.outputWindow; }
  int GetXDelay() const { return params_.xDelay; }
  int GetYDelay() const { return params_.yDelay; }
  int GetMirrorHorizontal() const { return params_.mirrorHorizontal; }
  int GetMirrorVertical() const { return params_.mirrorVertical; }
  int GetChromaTrap() const { return params_.chromaTrap; }
  int IsMaskEnabled() const { return params_.maskEnabled; }
  // Image size of the kept standard.
  ImageSize GetImageSize() const { return ImageSizeOf(params_.standard); }

  // The picture: header (null until set up), buffer (empty until allocated), palette.
  CDisplayPicture& Picture() { return picture_; }
  const CDisplayPicture& Picture() const { return picture_; }
  BITMAPINFO* GetDisplayHeader() { return picture_.Header(); }
  const BITMAPINFO* GetDisplayHeader() const { return picture_.Header(); }
  uint8_t* GetDisplayBuffer() { return picture_.Buffer(); }
  const uint8_t* GetDisplayBuffer() const { return picture_.Buffer(); }
  size_t GetDisplayBufferSize() const { return picture_.BufferSize(); }
  CPalette* GetPalette() const { return picture_.Palette(); }
  // The palette that selecting ours displaced (borrowed, not owned); set by the painting code.
  CPalette* GetDisplacedPalette() const { return displacedPalette_; }
  void SetDisplacedPalette(CPalette* palette) { displacedPalette_ = palette; }

 protected:
  // For the acquisition operations (live video, snap) that move the state.
  void SetState(CardState state) { state_ = state; }

 private:
  // Whether a setter keeps its value after the library answered `status`.
  bool Keeps(int status) const;
  bool KeepsWindow(int status) const;

  void SendEveryParameter();
  void SendGridParameters();

  QUARN_HANDLE handle_ = 0;  // 0 while not open
  bool presetting_ = false;  // see SetPresetting
  bool released_ = false;    // Release ran: the card is not ended again
  int cardNumber_;           // passed to BeginQuarnCard
  CardPolicy policy_;
  ClaimOwner claimOwner_ = kProgramOwner;
  CardState state_ = CardState::kIdle;
  VideoParameterSet params_;   // scan mode .. mask enabled
  CDisplayPicture picture_;    // description, display buffer and palette
  StoredFrames storedFrames_;  // what the last snap shot stored (count 0: nothing)
  CPalette* displacedPalette_ = nullptr;
  // What the snap callback is given; its target is what OpenSnap was given.
  CSnapContextOwner snapContext_;
  // Claims for claimOwner_ (static_claims.h): the card while its handle is set, the ring from a
  // successful StartSnap until it stops, the stored frames while they are kept.
  std::unique_ptr<CClaim> cardClaim_;
  std::unique_ptr<CClaim> ringClaim_;
  std::unique_ptr<CClaim> storedClaim_;
};

// ---- Solvane's opening and closing, for its video window ----

// Window creation after the framework's own: the format from the display depth through the
// setter (the card is not open yet, so it is kept only if the library answers 0 or -7), then
// `loadParameters` (the ini reader; may be empty), then Open. A failed Open shows one warning box
// with that status's text. Returns Open's status; creation succeeds either way.
int OpenSolvaneCard(CVideoCard& card, int displayDepth,
                    const std::function<void(CVideoCard&)>& loadParameters);

// Window destruction: Close, then `saveParameters` (the ini writer; may be empty).
void CloseSolvaneCard(CVideoCard& card,
                      const std::function<void(const CVideoCard&)>& saveParameters);
