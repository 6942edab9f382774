// A fresh folder laid out as a viewer's plug-in folder: a copy of the built
// tavok.spi, copies of fixture decoders, and a tavok.ini.
#pragma once

#include <string>

#include "host/susie.h"
#include "test_files.h"

namespace tavok::testing {

class PluginFolder {
 public:
  // Folder named `name` inside a new scratch folder ("" for the scratch
  // folder itself).
  explicit PluginFolder(const std::string& name = "");

  const std::string& path() const { return path_; }
  std::string Join(const std::string& name) const { return path_ + "\\" + name; }
  std::string TavokPath() const { return Join(kOwnFileName); }
  std::string IniPath() const { return Join("tavok.ini"); }

  // Copies the built tavok.spi in.
  std::string AddTavok() const;
  // Copies fixture `fixture` in as `as` (a name relative to the folder; its
  // subfolders are created).
  std::string AddFixture(const std::string& fixture, const std::string& as) const;
  // Copies the file at the full path `from` in as `as`, likewise.
  std::string AddCopy(const std::string& from, const std::string& as) const;
  void WriteIni(const std::string& text) const;
  // Writes bytes to a file in the folder and returns its full path.
  template <typename Bytes>
  std::string Write(const std::string& name, const Bytes& bytes) const {
    WriteBytes(Join(name), bytes.data(), bytes.size());
    return Join(name);
  }
  std::string ReadIni() const;

 private:
  ScratchFolder scratch_;
  std::string path_;
};

}  // namespace tavok::testing
