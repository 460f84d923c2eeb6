// File associations under the classes root: an extension given to this
// viewer (as a program with its own type, icon and open command) or to one
// of the two other viewers of the device.
#pragma once

#include <windows.h>

// The viewers an extension can be given to, by row.
enum AssociationViewer : int { kThisViewer = 0, kInternetExplorer = 1, kPictureViewer = 2 };
constexpr int kViewerCount = 3;

// A viewer's name as the page lists it.
LPCWSTR ViewerName(int viewer);

// Gives `extension` (".jpg") to a viewer; false when a key could not be
// written or the row is unknown.
bool RegisterAssociation(LPCWSTR extension, int viewer);

// Gives `extension` to the program at `programPath` (a device path ending in
// ".exe"): the extension names the type (`typeName`, else "<ext>file"), the
// type carries `description` (else "<EXT> File"), the program's icon
// `iconIndex` and the open command with "%1". The extension's
// "Content Type" becomes its media type when it has one and is left as it
// was otherwise. False, with nothing written, for a program that is a
// folder, that is missing from the device, or that is not an ".exe".
bool RegisterForProgram(LPCWSTR extension, LPCWSTR programPath, LPCWSTR typeName, LPCWSTR description,
                        int iconIndex);

// The media type of an extension (without dot, any case), or null.
LPCWSTR MediaTypeOf(LPCWSTR extension);
