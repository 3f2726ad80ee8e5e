// What a system error from listing a folder means: that nothing is there, or that the listing
// failed. Kept apart so that the unit tests can hold every error number to its meaning.
#pragma once

#include <windows.h>

namespace tav {

// Errors with which a listing says that nothing is there, as opposed to a listing that failed.
// Listing inside a folder that is an ordinary file gives ERROR_DIRECTORY on Windows and
// ERROR_INVALID_NAME under Wine; a name that no file can have matches nothing either.
inline bool MeansNothingFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_NO_MORE_FILES || error == ERROR_INVALID_DRIVE || error == ERROR_DIRECTORY ||
         error == ERROR_INVALID_NAME;
}

}  // namespace tav
