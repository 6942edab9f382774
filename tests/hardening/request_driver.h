// Drives the real tavok.spi with many requests, as a viewer would, and checks
// what every answer must satisfy: a code of the interface, blocks that are
// readable and as large as they claim, and no decoder library left loaded.
// Every block handed over is freed, as the host's duty.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dll/plugin_host.h"
#include "support/guarded_block.h"
#include "support/process_usage.h"
#include "support/test_files.h"

namespace tavok::testing {

class RequestDriver {
 public:
  // fixtures: the decoders the host lists, checked after every request.
  RequestDriver(const PluginHost& host, const std::vector<std::string>& fixtures);

  // Each entry point once, file or memory input; returns the result code.
  int32_t SupportedFromHead(const char* name, const std::vector<uint8_t>& bytes);
  int32_t SupportedFromHandle(const std::string& path);
  int32_t InfoFromMemory(const std::vector<uint8_t>& bytes);
  int32_t InfoFromFile(const std::string& path, int32_t offset);
  int32_t PictureFromMemory(const std::vector<uint8_t>& bytes);
  int32_t PictureFromFile(const std::string& path, int32_t offset);

  // Result codes seen, per entry point and input kind, and every breach of
  // the rules above (empty when all went well).
  const std::map<std::string, std::map<int32_t, int>>& results() const { return results_; }
  const std::vector<std::string>& faults() const { return faults_; }
  std::string Summary() const;

 private:
  void Record(const char* call, int32_t result);
  void Fault(const char* call, const std::string& what);
  void CheckInfo(const char* call, int32_t result, HostPictureInfo* info);
  void CheckPicture(const char* call, int32_t result, HLOCAL bitmap_info, HLOCAL bitmap_bits);
  void CheckNothingLoaded(const char* call);

  IsSupportedFn is_supported_;
  GetPictureInfoFn get_picture_info_;
  GetPictureFn get_picture_;
  std::vector<std::string> modules_;
  GuardedBlock memory_;
  std::map<std::string, std::map<int32_t, int>> results_;
  std::vector<std::string> faults_;
};

// A count from the environment (for the scripts' full runs), else fallback.
int CountFromEnvironment(const char* variable, int fallback);

}  // namespace tavok::testing
