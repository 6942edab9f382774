#include "exit_codes.h"

#include "host/susie.h"

namespace tavok::render {

ExitCode ExitForResult(int32_t result) {
  switch (result) {
    case kNotProvided:
      return kExitNotProvided;
    case kAborted:
      return kExitAborted;
    case kUnsupported:
      return kExitUnsupported;
    case kOutOfMemory:
      return kExitOutOfMemory;
    case kReadError:
      return kExitReadError;
    case kMissingEntryPoint:
      return kExitLacksEntryPoint;
    default:
      return kExitOtherResult;
  }
}

const char* DescribeResult(int32_t result) {
  switch (result) {
    case kSuccess:
      return "success";
    case kNotProvided:
      return "function not provided";
    case kAborted:
      return "aborted through the progress callback";
    case kUnsupported:
      return "not a supported file";
    case kOutOfMemory:
      return "out of memory";
    case kReadError:
      return "the file failed to open or to read";
    case kMissingEntryPoint:
      return "the chosen decoder lacks the entry point needed";
    default:
      return "unknown result code";
  }
}

}  // namespace tavok::render
