#pragma once
// DirectDraw result codes and their English descriptions. The display layer reports a failure
// the way the original player did: an operation prefix followed by the text for the result
// code, so a user's bug report reads the same on every platform.
#include <cstdint>
#include <span>

namespace DDResult {

// Most codes live in DirectDraw's own facility (0x876); the base is the failure bit plus it.
inline constexpr uint32_t kFacilityBase = 0x88760000u;

constexpr uint32_t Make(uint32_t code) { return kFacilityBase + code; }

inline constexpr uint32_t kOk = 0;     // S_OK
inline constexpr uint32_t kFalse = 1;  // S_FALSE, a success code, not an error

// These reuse the generic COM codes rather than the DirectDraw facility.
inline constexpr uint32_t kUnsupported = 0x80004001u;     // E_NOTIMPL
inline constexpr uint32_t kGeneric = 0x80004005u;         // E_FAIL
inline constexpr uint32_t kNotInitialized = 0x800401F0u;  // CO_E_NOTINITIALIZED
inline constexpr uint32_t kOutOfMemory = 0x8007000Eu;     // E_OUTOFMEMORY
inline constexpr uint32_t kInvalidParams = 0x80070057u;   // E_INVALIDARG

inline constexpr uint32_t kAlreadyInitialized = Make(5);
inline constexpr uint32_t kCannotAttachSurface = Make(10);
inline constexpr uint32_t kCannotDetachSurface = Make(20);
inline constexpr uint32_t kCurrentlyNotAvail = Make(40);
inline constexpr uint32_t kException = Make(55);
inline constexpr uint32_t kHeightAlign = Make(90);
inline constexpr uint32_t kIncompatiblePrimary = Make(95);
inline constexpr uint32_t kInvalidCaps = Make(100);
inline constexpr uint32_t kInvalidClipList = Make(110);
inline constexpr uint32_t kInvalidMode = Make(120);
inline constexpr uint32_t kInvalidObject = Make(130);
inline constexpr uint32_t kInvalidPixelFormat = Make(145);
inline constexpr uint32_t kInvalidRect = Make(150);
inline constexpr uint32_t kLockedSurfaces = Make(160);
inline constexpr uint32_t kNo3D = Make(170);
inline constexpr uint32_t kNoAlphaHW = Make(180);
inline constexpr uint32_t kNoStereoHardware = Make(181);
inline constexpr uint32_t kNoSurfaceLeft = Make(182);
inline constexpr uint32_t kNoClipList = Make(205);
inline constexpr uint32_t kNoColorConvHW = Make(210);
inline constexpr uint32_t kNoCooperativeLevelSet = Make(212);
inline constexpr uint32_t kNoColorKey = Make(215);
inline constexpr uint32_t kNoColorKeyHW = Make(220);
inline constexpr uint32_t kNoDirectDrawSupport = Make(222);
inline constexpr uint32_t kNoExclusiveMode = Make(225);
inline constexpr uint32_t kNoFlipHW = Make(230);
inline constexpr uint32_t kNoGDI = Make(240);
inline constexpr uint32_t kNoMirrorHW = Make(250);
inline constexpr uint32_t kNotFound = Make(255);
inline constexpr uint32_t kNoOverlayHW = Make(260);
inline constexpr uint32_t kOverlappingRects = Make(270);
inline constexpr uint32_t kNoRasterOpHW = Make(280);
inline constexpr uint32_t kNoRotationHW = Make(290);
inline constexpr uint32_t kNoStretchHW = Make(310);
inline constexpr uint32_t kNot4BitColor = Make(316);
inline constexpr uint32_t kNot4BitColorIndex = Make(317);
inline constexpr uint32_t kNot8BitColor = Make(320);
inline constexpr uint32_t kNoTextureHW = Make(330);
inline constexpr uint32_t kNoVSyncHW = Make(335);
inline constexpr uint32_t kNoZBufferHW = Make(340);
inline constexpr uint32_t kNoZOverlayHW = Make(350);
inline constexpr uint32_t kOutOfCaps = Make(360);
inline constexpr uint32_t kOutOfVideoMemory = Make(380);
inline constexpr uint32_t kOverlayCantClip = Make(382);
inline constexpr uint32_t kOverlayColorKeyOnlyOneActive = Make(384);
inline constexpr uint32_t kPaletteBusy = Make(387);
inline constexpr uint32_t kColorKeyNotSet = Make(400);
inline constexpr uint32_t kSurfaceAlreadyAttached = Make(410);
inline constexpr uint32_t kSurfaceAlreadyDependent = Make(420);
inline constexpr uint32_t kSurfaceBusy = Make(430);
inline constexpr uint32_t kCantLockSurface = Make(435);
inline constexpr uint32_t kSurfaceIsObscured = Make(440);
inline constexpr uint32_t kSurfaceLost = Make(450);
inline constexpr uint32_t kSurfaceNotAttached = Make(460);
inline constexpr uint32_t kTooBigHeight = Make(470);
inline constexpr uint32_t kTooBigSize = Make(480);
inline constexpr uint32_t kTooBigWidth = Make(490);
inline constexpr uint32_t kUnsupportedFormat = Make(510);
inline constexpr uint32_t kUnsupportedMask = Make(520);
inline constexpr uint32_t kInvalidStream = Make(521);
inline constexpr uint32_t kVerticalBlankInProgress = Make(537);
inline constexpr uint32_t kWasStillDrawing = Make(540);
inline constexpr uint32_t kDDSCapsComplexRequired = Make(542);
inline constexpr uint32_t kXAlign = Make(560);
inline constexpr uint32_t kInvalidDirectDrawGuid = Make(561);
inline constexpr uint32_t kDirectDrawAlreadyCreated = Make(562);
inline constexpr uint32_t kNoDirectDrawHW = Make(563);
inline constexpr uint32_t kPrimarySurfaceAlreadyExists = Make(564);
inline constexpr uint32_t kNoEmulation = Make(565);
inline constexpr uint32_t kRegionTooSmall = Make(566);
inline constexpr uint32_t kClipperIsUsingHwnd = Make(567);
inline constexpr uint32_t kNoClipperAttached = Make(568);
inline constexpr uint32_t kNoHwnd = Make(569);
inline constexpr uint32_t kHwndSubclassed = Make(570);
inline constexpr uint32_t kHwndAlreadySet = Make(571);
inline constexpr uint32_t kNoPaletteAttached = Make(572);
inline constexpr uint32_t kNoPaletteHW = Make(573);
inline constexpr uint32_t kBltFastCantClip = Make(574);
inline constexpr uint32_t kNoBltHW = Make(575);
inline constexpr uint32_t kNoDDRopsHW = Make(576);
inline constexpr uint32_t kOverlayNotVisible = Make(577);
inline constexpr uint32_t kNoOverlayDest = Make(578);
inline constexpr uint32_t kInvalidPosition = Make(579);
inline constexpr uint32_t kNotAOverlaySurface = Make(580);
inline constexpr uint32_t kExclusiveModeAlreadySet = Make(581);
inline constexpr uint32_t kNotFlippable = Make(582);
inline constexpr uint32_t kCantDuplicate = Make(583);
inline constexpr uint32_t kNotLocked = Make(584);
inline constexpr uint32_t kCantCreateDC = Make(585);
inline constexpr uint32_t kNoDC = Make(586);
inline constexpr uint32_t kWrongMode = Make(587);
inline constexpr uint32_t kImplicitlyCreated = Make(588);
inline constexpr uint32_t kNotPalettized = Make(589);
inline constexpr uint32_t kUnsupportedMode = Make(590);
inline constexpr uint32_t kNoMipmapHW = Make(591);
inline constexpr uint32_t kInvalidSurfaceType = Make(592);
inline constexpr uint32_t kNoOptimizeHW = Make(600);
inline constexpr uint32_t kNotLoaded = Make(601);
inline constexpr uint32_t kNoFocusWindow = Make(602);
inline constexpr uint32_t kNotOnMipmapSublevel = Make(603);
inline constexpr uint32_t kDCAlreadyCreated = Make(620);
inline constexpr uint32_t kNoNonLocalVidMem = Make(630);
inline constexpr uint32_t kCantPageLock = Make(640);
inline constexpr uint32_t kCantPageUnlock = Make(660);
inline constexpr uint32_t kNotPageLocked = Make(680);
inline constexpr uint32_t kMoreData = Make(690);
inline constexpr uint32_t kExpired = Make(691);
inline constexpr uint32_t kTestFinished = Make(692);
inline constexpr uint32_t kNewMode = Make(693);
inline constexpr uint32_t kD3DNotInitialized = Make(694);
inline constexpr uint32_t kVideoNotActive = Make(695);
inline constexpr uint32_t kNoMonitorInformation = Make(696);
inline constexpr uint32_t kNoDriverSupport = Make(697);
inline constexpr uint32_t kDeviceDoesntOwnSurface = Make(699);

}  // namespace DDResult

struct TDDErrorEntry {
  uint32_t Code;
  const char* Text;
};

// The description table, sorted by code; exposed so the tests can walk it.
std::span<const TDDErrorEntry> DDErrorTable();

// The description of a result code; codes without one give "Unrecognized Error".
const char* DDErrorDescription(uint32_t result);
