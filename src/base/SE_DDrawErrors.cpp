#include "base/SE_DDrawErrors.h"

#include <algorithm>

namespace {

using namespace DDResult;

// Kept in ascending code order so the lookup can binary-search; the static_assert below
// refuses to build if an entry is added out of place or twice.
constexpr TDDErrorEntry kTable[] = {
    {kOk, "The request completed successfully."},
    {kUnsupported, "The operation is not supported."},
    {kGeneric, "There is an undefined error condition."},
    {kNotInitialized,
     "An attempt was made to call an interface method of a DirectDraw object created by "
     "CoCreateInstance before the object was initialized."},
    {kOutOfMemory, "DirectDraw does not have enough memory to perform the operation."},
    {kInvalidParams, "One or more of the parameters passed to the method are incorrect."},
    {kAlreadyInitialized, "The object has already been initialized."},
    {kCannotAttachSurface, "A surface cannot be attached to another requested surface."},
    {kCannotDetachSurface, "A surface cannot be detached from another requested surface."},
    {kCurrentlyNotAvail, "No support is currently available."},
    {kException, "An exception was encountered while performing the requested operation."},
    {kHeightAlign,
     "The height of the provided rectangle is not a multiple of the required alignment."},
    {kIncompatiblePrimary,
     "The primary surface creation request does not match the existing primary surface."},
    {kInvalidCaps,
     "One or more of the capability bits passed to the callback function are incorrect."},
    {kInvalidClipList, "DirectDraw does not support the provided clip list."},
    {kInvalidMode, "DirectDraw does not support the requested mode."},
    {kInvalidObject, "DirectDraw received a pointer that was an invalid DirectDraw object."},
    {kInvalidPixelFormat, "The pixel format was invalid as specified."},
    {kInvalidRect, "The provided rectangle was invalid."},
    {kLockedSurfaces, "One or more surfaces are locked, preventing operations."},
    {kNo3D, "No 3-D hardware or emulation is present."},
    {kNoAlphaHW,
     "No alpha-acceleration hardware is present or available, causing the failure of the "
     "requested operation."},
    {kNoStereoHardware, "There is no stereo hardware present or available."},
    {kNoSurfaceLeft, "There is no hardware present that supports stereo surfaces."},
    {kNoClipList, "No clip list is available."},
    {kNoColorConvHW, "No color-conversion hardware is present or available."},
    {kNoCooperativeLevelSet,
     "A create function was called without the IDirectDraw::SetCooperativeLevel method."},
    {kNoColorKey, "The surface does not currently have a color key."},
    {kNoColorKeyHW, "There is no hardware support for the destination color key."},
    {kNoDirectDrawSupport, "DirectDraw support is not possible with the current display driver."},
    {kNoExclusiveMode,
     "The operation requires the application to have exclusive mode, but the application does "
     "not have exclusive mode."},
    {kNoFlipHW, "Flipping visible surfaces is not supported."},
    {kNoGDI, "No GDI is present."},
    {kNoMirrorHW, "No mirroring hardware is present or available."},
    {kNotFound, "The requested item was not found."},
    {kNoOverlayHW, "No overlay hardware is present or available."},
    {kOverlappingRects,
     "The source and destination rectangles are on the same surface and overlap each other."},
    {kNoRasterOpHW, "No appropriate raster-operation hardware is present or available."},
    {kNoRotationHW, "No rotation hardware is present or available."},
    {kNoStretchHW, "There is no hardware support for stretching."},
    {kNot4BitColor,
     "The DirectDrawSurface object is not using a 4-bit color palette, and the requested "
     "operation requires a 4-bit color palette."},
    {kNot4BitColorIndex,
     "The DirectDrawSurface object is not using a 4-bit color index palette, and the requested "
     "operation requires a 4-bit color index palette."},
    {kNot8BitColor,
     "The DirectDrawSurface object is not using an 8-bit color palette, and the requested "
     "operation requires an 8-bit color palette."},
    {kNoTextureHW,
     "The operation cannot be carried out because no texture-mapping hardware is present or "
     "available."},
    {kNoVSyncHW, "There is no hardware support for vertical blank-synchronized operations."},
    {kNoZBufferHW,
     "The operation to create a z-buffer in display memory or to perform a blit, using a "
     "z-buffer cannot be carried out because there is no hardware support for z-buffers."},
    {kNoZOverlayHW,
     "The overlay surfaces cannot be z-layered, based on the z-order because the hardware does "
     "not support z-ordering of overlays."},
    {kOutOfCaps, "The hardware needed for the requested operation has already been allocated."},
    {kOutOfVideoMemory, "DirectDraw does not have enough display memory to perform the operation."},
    {kOverlayCantClip, "The hardware does not support clipped overlays."},
    {kOverlayColorKeyOnlyOneActive,
     "An attempt was made to have more than one color key active on an overlay."},
    {kPaletteBusy,
     "Access to this palette is refused because the palette is locked by another thread."},
    {kColorKeyNotSet, "No source color key is specified for this operation."},
    {kSurfaceAlreadyAttached,
     "An attempt was made to attach a surface to another surface to which it is already "
     "attached."},
    {kSurfaceAlreadyDependent,
     "An attempt was made to make a surface a dependency of another surface on which it is "
     "already dependent."},
    {kSurfaceBusy,
     "Access to the surface is refused because the surface is locked by another thread."},
    {kCantLockSurface,
     "Access to this surface is refused because an attempt was made to lock the primary "
     "surface without DCI support."},
    {kSurfaceIsObscured, "Access to the surface is refused because the surface is obscured."},
    {kSurfaceLost,
     "Access to the surface is refused because the surface memory is gone. Call the "
     "IDirectDrawSurface::Restore method on this surface to restore the memory associated "
     "with it."},
    {kSurfaceNotAttached, "The requested surface is not attached."},
    {kTooBigHeight, "The height requested by DirectDraw is too large."},
    {kTooBigSize,
     "The size requested by DirectDraw is too large. However, the individual height and width "
     "are valid sizes."},
    {kTooBigWidth, "The width requested by DirectDraw is too large."},
    {kUnsupportedFormat, "The pixel format requested is not supported by DirectDraw."},
    {kUnsupportedMask, "The bitmask in the pixel format requested is not supported by DirectDraw."},
    {kInvalidStream, "The specified stream contains invalid data."},
    {kVerticalBlankInProgress, "A vertical blank is in progress."},
    {kWasStillDrawing,
     "The previous blit operation that is transferring information to or from this surface is "
     "incomplete."},
    {kXAlign, "The provided rectangle was not horizontally aligned on a required boundary."},
    {kInvalidDirectDrawGuid,
     "The globally unique identifier (GUID) passed to the DirectDrawCreate function is not a "
     "valid DirectDraw driver identifier."},
    {kDirectDrawAlreadyCreated,
     "A DirectDraw object representing this driver has already been created for this process."},
    {kNoDirectDrawHW,
     "Hardware-only DirectDraw object creation is not possible; the driver does not support any "
     "hardware."},
    {kPrimarySurfaceAlreadyExists, "This process has already created a primary surface."},
    {kNoEmulation, "Software emulation is not available."},
    {kRegionTooSmall,
     "The region passed to the IDirectDrawClipper::GetClipList method is too small."},
    {kClipperIsUsingHwnd,
     "An attempt was made to set a clip list for a DirectDrawClipper object that is already "
     "monitoring a window handle."},
    {kNoClipperAttached, "No DirectDrawClipper object is attached to the surface object."},
    {kNoHwnd,
     "Clipper notification requires a window handle, or no window handle has been previously "
     "set as the cooperative level window handle."},
    {kHwndSubclassed,
     "DirectDraw is prevented from restoring state because the DirectDraw cooperative-level "
     "window handle has been subclassed."},
    {kHwndAlreadySet,
     "The DirectDraw cooperative-level window handle has already been set. It cannot be reset "
     "while the process has surfaces or palettes created."},
    {kNoPaletteAttached, "No palette object is attached to this surface."},
    {kNoPaletteHW, "There is no hardware support for 16- or 256-color palettes."},
    {kBltFastCantClip,
     "A DirectDrawClipper object is attached to a source surface that has passed into a call "
     "to the IDirectDrawSurface::BltFast method."},
    {kNoBltHW, "No blitter hardware is present."},
    {kNoDDRopsHW, "No DirectDraw raster-operation (ROP) hardware is available."},
    {kOverlayNotVisible,
     "The IDirectDrawSurface::GetOverlayPosition method was called on a hidden overlay."},
    {kNoOverlayDest,
     "The IDirectDrawSurface::GetOverlayPosition method is called on an overlay that the "
     "IDirectDrawSurface::UpdateOverlay method has not been called on to establish as a "
     "destination."},
    {kInvalidPosition, "The position of the overlay on the destination is no longer legal."},
    {kNotAOverlaySurface, "An overlay component is called for a nonoverlay surface."},
    {kExclusiveModeAlreadySet,
     "An attempt was made to set the cooperative level when it was already set to exclusive."},
    {kNotFlippable, "An attempt was made to flip a surface that cannot be flipped."},
    {kCantDuplicate,
     "Primary and 3-D surfaces, or surfaces that are implicitly created, cannot be duplicated."},
    {kNotLocked, "An attempt was made to unlock a surface that was not locked."},
    {kCantCreateDC,
     "Windows cannot create any more device contexts (DCs), or a DC has requested a "
     "palette-indexed surface when the surface had no palette and the display mode was not "
     "palette-indexed (in this case DirectDraw cannot select a proper palette into the DC)."},
    {kNoDC, "No device context (DC) has ever been created for this surface."},
    {kWrongMode, "This surface cannot be restored because it was created in a different mode."},
    {kImplicitlyCreated,
     "The surface cannot be restored because it is an implicitly created surface."},
    {kNotPalettized, "The surface being used is not a palette-based surface."},
    {kUnsupportedMode, "The display is currently in an unsupported mode."},
    {kNoMipmapHW, "No mipmap-capable texture mapping hardware is present or available."},
    {kInvalidSurfaceType, "The surface was of the wrong type."},
    {kNoOptimizeHW, "The device does not support optimized surfaces."},
    {kNotLoaded, "The surface is an optimized surface, but it has not yet been allocated any "
                 "memory."},
    {kNoFocusWindow,
     "An attempt was made to create or set a device window without first setting the focus "
     "window."},
    {kDCAlreadyCreated,
     "A device context (DC) has already been returned for this surface. Only one DC can be "
     "retrieved for each surface."},
    {kNoNonLocalVidMem,
     "An attempt was made to allocate nonlocal video memory from a device that does not "
     "support nonlocal video memory."},
    {kCantPageLock,
     "An attempt to page-lock a surface failed. Page lock does not work on a display-memory "
     "surface or an emulated primary surface."},
    {kCantPageUnlock,
     "An attempt to page-unlock a surface failed. Page unlock does not work on a "
     "display-memory surface or an emulated primary surface."},
    {kNotPageLocked,
     "An attempt was made to page-unlock a surface with no outstanding page locks."},
    {kMoreData, "There is more data available than the specified buffer size can hold."},
    {kExpired, "The data has expired and is therefore no longer valid."},
    {kTestFinished,
     "When returned by the IDirectDraw7::StartModeTest method, this value means that no test "
     "could be initiated because all the resolutions chosen for testing already have refresh "
     "rate information in the registry. When returned by IDirectDraw7::EvaluateMode, the "
     "value means that DirectDraw has completed a refresh rate test."},
    {kVideoNotActive, "The video port is not active."},
    {kNoMonitorInformation,
     "Testing cannot proceed because the monitor has no associated EDID data."},
    {kNoDriverSupport,
     "Testing cannot proceed because the display adapter driver does not enumerate refresh "
     "rates."},
    {kDeviceDoesntOwnSurface,
     "Surfaces created by one DirectDraw device cannot be used directly by another DirectDraw "
     "device."},
};

constexpr bool StrictlyAscending() {
  for (size_t i = 1; i < std::size(kTable); ++i) {
    if (kTable[i - 1].Code >= kTable[i].Code) return false;
  }
  return true;
}
static_assert(StrictlyAscending(), "DirectDraw error table must be sorted without duplicates");

}  // namespace

std::span<const TDDErrorEntry> DDErrorTable() { return kTable; }

const char* DDErrorDescription(uint32_t result) {
  const auto* it = std::lower_bound(
      std::begin(kTable), std::end(kTable), result,
      [](const TDDErrorEntry& entry, uint32_t code) { return entry.Code < code; });
  if (it == std::end(kTable) || it->Code != result) return "Unrecognized Error";
  return it->Text;
}
