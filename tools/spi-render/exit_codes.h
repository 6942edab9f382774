// spi-render's exit codes: one for each way a plug-in or its input can fail,
// so that scripts and tests can tell them apart.
#pragma once

#include <cstdint>

namespace tavok::render {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 64,
  kExitCannotLoad = 65,     // the plug-in file cannot be loaded
  kExitMissingExport = 66,  // the plug-in lacks an entry point
  kExitCannotOpen = 67,     // the input file cannot be opened or read
  kExitNotSupported = 68,   // IsSupported declines the file
  kExitCannotWrite = 69,    // the .bmp file cannot be written
  kExitBadBlocks = 70,      // GetPicture succeeded but its blocks are unusable
  // A failing GetPictureInfo or GetPicture: 80 plus its result code.
  kExitNotProvided = 79,      // -1
  kExitAborted = 81,          // 1
  kExitUnsupported = 82,      // 2
  kExitOutOfMemory = 84,      // 4
  kExitReadError = 86,        // 6
  kExitLacksEntryPoint = 88,  // 8: the plug-in's own decoder lacks one
  kExitOtherResult = 89,      // any other code
};

// The exit code for a picture entry point's result code other than 0.
ExitCode ExitForResult(int32_t result);

// What a result code means, for messages.
const char* DescribeResult(int32_t result);

}  // namespace tavok::render
