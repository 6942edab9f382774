#include "decoders/decoder_table.h"

#include <atomic>
#include <cstring>

#include "container/image_signature.h"
#include "container/mbcs.h"
#include "container/module_header.h"
#include "host/handles.h"

namespace tavok {
namespace {

DecoderPlugin g_entries[kMaxDecoders];
int32_t g_count = 0;
bool g_keep_loaded = false;
bool g_ask_every_decoder = false;
bool g_match_content = true;

// Held only while the table is read or changed, never while a decoder runs.
critical_section g_table_lock;
critical_section g_load_lock;
TableLoader g_loader = nullptr;
std::atomic<bool> g_loaded{true};
// Set while the loader runs, under g_load_lock: only the loading thread sees it.
bool g_loading = false;
// While a request that loads the table runs, the modules registration loaded
// stay loaded, so that the request finds its decoder loaded rather than
// loading it a second time; a host that frees tavok after every file would
// otherwise pay two loads of its decoder for each. Under g_table_lock.
unique_hmodule g_registration_holds[kMaxDecoders];
int32_t g_hold_count = 0;
// The thread whose registrations are held, 0 for none.
std::atomic<DWORD> g_holding_thread{0};

void ReleaseRegistrationHolds() {
  unique_hmodule released[kMaxDecoders];
  {
    const scoped_lock lock(g_table_lock);
    for (int32_t i = 0; i < g_hold_count; ++i) released[i] = std::move(g_registration_holds[i]);
    g_hold_count = 0;
  }
  // Released outside the lock, in list order: the last release runs the
  // decoder's detach.
  for (unique_hmodule& library : released) library.reset();
}

// Runs the loader unless it has run; true when this call ran it.
bool LoadTable(bool hold_registrations) {
  if (g_loaded.load(std::memory_order_acquire)) return false;
  // Every other caller waits here until the table is whole: one that went on
  // would find it empty, draw placeholders, or save an empty list.
  const scoped_lock lock(g_load_lock);
  // The lock is recursive: a decoder that calls back into tavok while it is
  // being registered comes back here on the loading thread, and goes on with
  // the table as far as it is filled.
  if (g_loaded.load(std::memory_order_relaxed) || g_loading) return false;
  g_loading = true;
  if (hold_registrations) g_holding_thread.store(GetCurrentThreadId());
  if (g_loader != nullptr) g_loader();
  g_holding_thread.store(0);
  g_loading = false;
  g_loaded.store(true, std::memory_order_release);
  return true;
}

// The module this code is part of: tavok.spi or tavok.sph in the product, the test
// program in unit tests.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char*>(&OwnModule), &module);
  return module;
}

bool IsRegistered(const wchar_t* path) {
  for (int32_t i = 0; i < g_count; ++i) {
    if (lstrcmpiW(g_entries[i].path, path) == 0) return true;
  }
  return false;
}

#if defined(_WIN64)
constexpr uint16_t kThisMachine = kMachineX64;
#else
constexpr uint16_t kThisMachine = kMachineX86;
#endif

// A tavok.ini that a folder's .spi and .sph share lists decoders of both
// architectures: each build passes over the other's without loading them.
bool IsBuiltForThisMachine(const wchar_t* path) {
  const unique_file file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return true;  // the loader decides, and reports, as for any path
  uint8_t head[kModuleHeadSize];
  DWORD read = 0;
  if (!ReadFile(file.get(), head, sizeof(head), &read, nullptr)) return true;
  const uint16_t machine = ModuleMachine(head, read);
  return machine == 0 || machine == kThisMachine;
}

bool NamesThisModule(const wchar_t* path) {
  const wchar_t* name = nullptr;
  for (const wchar_t* c = path; *c != L'\0'; ++c) {
    if (*c == L'\\') name = c + 1;
  }
  if (name == nullptr) return false;
  wchar_t own[sizeof(kOwnFileName)];
  for (size_t i = 0; i < sizeof(kOwnFileName); ++i) own[i] = kOwnFileName[i];
  return lstrcmpiW(name, own) == 0;
}

// The pattern list ends at the first number a decoder does not answer. One
// that answers every number would be asked until the number overflowed, inside
// the host's module load; no real list comes near this many entries, and the
// 256 bytes kept are full long before.
constexpr int32_t kMaxPatternQueries = 1024;

void CollectDeclarations(DecoderPlugin& entry) {
  char buffer[kDecoderPathSize];
  for (int32_t query = 0; query < kMaxPatternQueries; ++query) {
    if (entry.QueryInfo(2 + 2 * query, buffer, 100) == 0) break;
    entry.AppendPattern(buffer);
  }
  entry.category = 0;
  if (entry.QueryInfo(1, buffer, 100) != 0) {
    lstrcpynA(entry.description, buffer, kDecoderDescriptionMax + 1);
  }
  entry.has_configuration = entry.HasConfigurationDialog() != -1 ? 1 : 0;
}

// A decoder kept loaded lends the request the table's reference, which
// ReleaseDecoder gives back, rather than the request taking one of its own
// through the loader for each decoder it asks. Meanwhile the entry holds
// none, and another request for it loads its own.
bool Borrow(int32_t index, const wchar_t* path, DecoderPlugin* chosen) {
  const scoped_lock lock(g_table_lock);
  DecoderPlugin& entry = g_entries[index];
  if (index >= g_count || !entry.IsLoaded() || lstrcmpiW(entry.path, path) != 0) return false;
  chosen->Unload();
  lstrcpynW(chosen->path, entry.path, kDecoderPathSize);
  chosen->KeepLibrary(entry.TakeLibrary());
  return true;
}

// The index of the entry whose path is path, or -1. Under the table's lock.
int32_t IndexOf(const wchar_t* path) {
  for (int32_t i = 0; i < g_count; ++i) {
    if (lstrcmpiW(g_entries[i].path, path) == 0) return i;
  }
  return -1;
}

}  // namespace

void SetTableLoader(TableLoader loader) {
  const scoped_lock lock(g_load_lock);
  g_loader = loader;
  g_loaded.store(loader == nullptr, std::memory_order_release);
}

void EnsureTableLoaded() {
  LoadTable(false);
}

table_load_scope::table_load_scope() : holding_(LoadTable(true)) {}

table_load_scope::~table_load_scope() {
  if (holding_) ReleaseRegistrationHolds();
}

void SetKeepDecodersLoaded(bool keep) {
  const scoped_lock lock(g_table_lock);
  g_keep_loaded = keep;
}

void SetAskEveryDecoder(bool ask) {
  const scoped_lock lock(g_table_lock);
  g_ask_every_decoder = ask;
}

void SetMatchContent(bool match) {
  const scoped_lock lock(g_table_lock);
  g_match_content = match;
}

int32_t DecoderCount() {
  const scoped_lock lock(g_table_lock);
  return g_count;
}

DecoderPlugin& DecoderAt(int32_t index) {
  return g_entries[index];
}

int RegisterDecoder(const char* path) {
  wchar_t wide[kDecoderPathSize];
  // A path that does not fit is refused, as one that cannot be loaded is.
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, kDecoderPathSize) == 0) return 0;
  return RegisterDecoder(wide);
}

int RegisterDecoder(const wchar_t* path) {
  {
    const scoped_lock lock(g_table_lock);
    if (g_count >= kMaxDecoders || IsRegistered(path)) return 0;
  }
  if (NamesThisModule(path)) return 0;
  if (!IsBuiltForThisMachine(path)) return 0;

  // Loaded and asked outside the lock, in a handle of its own.
  DecoderPlugin entry;
  if (!entry.SetPath(path)) return 0;
  // Any other spelling of this module's own path (forward slashes, a short
  // name, no folder) loads this very module; delegating to it would recurse.
  if (entry.library() == OwnModule()) return 0;

  char version[kDecoderPathSize];
  if (entry.QueryInfo(0, version, 10) == 0 || lstrcmpiA(version, "00IN") != 0) return 0;
  CollectDeclarations(entry);
  unique_hmodule library = entry.TakeLibrary();
  const scoped_lock lock(g_table_lock);
  // Another thread may have filled the table, or listed the same path, since.
  if (g_count >= kMaxDecoders || IsRegistered(entry.path)) return 0;
  g_entries[g_count].MoveFrom(entry);
  ++g_count;
  if (g_holding_thread.load() == GetCurrentThreadId() && g_hold_count < kMaxDecoders) {
    g_registration_holds[g_hold_count++] = std::move(library);
  }
  return 1;
}

int32_t FindDecoder(uint8_t category, const uint8_t* payload, int32_t payload_size,
                    const char* name, const char* extension, DecoderPlugin* chosen) {
  EnsureTableLoaded();
  if (extension == nullptr) extension = FindLastChar(name, '.');
  if (payload_size == 0) return -1;

  // The entries that may apply, copied under the lock: the table may change
  // while their decoders run. Those whose patterns match the name come first;
  // then, when the payload's bytes name an image format, those that match one
  // of its extensions; with the fallback on, every other entry, in table
  // order. Each is asked once at most.
  struct Candidate {
    int32_t index;
    bool by_content;
    wchar_t path[kDecoderPathSize];
  } candidates[kMaxDecoders];
  int32_t count = 0;
  const ImageFormat* format = nullptr;
  {
    const scoped_lock lock(g_table_lock);
    bool listed[kMaxDecoders] = {};
    const auto add = [&](int32_t i, bool by_content) {
      listed[i] = true;
      candidates[count].index = i;
      candidates[count].by_content = by_content;
      lstrcpynW(candidates[count++].path, g_entries[i].path, kDecoderPathSize);
    };
    const auto applies = [&](int32_t i) { return !listed[i] && g_entries[i].category == category; };
    for (int32_t i = 0; i < g_count; ++i) {
      if (applies(i) && extension != nullptr && g_entries[i].MatchesExtension(extension)) {
        add(i, false);
      }
    }
    if (g_match_content) {
      format = RecognizeImageFormat(payload, payload_size < kHeadSize ? payload_size : kHeadSize);
    }
    for (int32_t i = 0; format != nullptr && i < g_count; ++i) {
      for (const char* const* other = format->extensions; *other != nullptr; ++other) {
        if (applies(i) && g_entries[i].MatchesExtension(*other)) add(i, true);
      }
    }
    for (int32_t i = 0; g_ask_every_decoder && i < g_count; ++i) {
      if (applies(i)) add(i, false);
    }
  }
  // A decoder asked for what the bytes hold is told a name that says so, as
  // one that also looks at the name would otherwise decline.
  char content_name[kDecoderPathSize];
  if (format != nullptr) {
    NameWithExtension(name, format->extensions[0], content_name, sizeof(content_name));
  }
  for (int32_t i = 0; i < count; ++i) {
    const char* asked_name = candidates[i].by_content ? content_name : name;
    const int32_t answer = Borrow(candidates[i].index, candidates[i].path, chosen) ||
                                   chosen->SetPath(candidates[i].path)
                               ? chosen->QuerySupported(asked_name, payload)
                               : 0;
    if (answer == 1) return candidates[i].index;
    ReleaseDecoder(chosen);
    if (answer == kNotAsked) return kDecoderUnavailable;
  }
  return -1;
}

void ReleaseDecoder(DecoderPlugin* used) {
  unique_hmodule library = used->TakeLibrary();
  if (!library) return;
  {
    const scoped_lock lock(g_table_lock);
    const int32_t index = g_keep_loaded ? IndexOf(used->path) : -1;
    if (index >= 0 && !g_entries[index].IsLoaded()) {
      g_entries[index].KeepLibrary(std::move(library));
      return;
    }
  }
  // Released outside the lock: the last release runs the decoder's detach.
}

void RemoveDecoder(int32_t index) {
  unique_hmodule library;
  {
    const scoped_lock lock(g_table_lock);
    if (index < 0 || index >= g_count) return;
    library = g_entries[index].TakeLibrary();
    for (int32_t i = index; i < g_count - 1; ++i) g_entries[i].MoveFrom(g_entries[i + 1]);
    --g_count;
  }
}

void UnloadAllDecoders(bool release_modules) {
  unique_hmodule libraries[2 * kMaxDecoders];
  {
    const scoped_lock lock(g_table_lock);
    for (int32_t i = 0; i < g_count; ++i) {
      libraries[i] = g_entries[i].TakeLibrary();
      g_entries[i].ClearDeclarations();
    }
    g_count = 0;
    for (int32_t i = 0; i < g_hold_count; ++i) {
      libraries[kMaxDecoders + i] = std::move(g_registration_holds[i]);
    }
    g_hold_count = 0;
  }
  if (!release_modules) {
    for (unique_hmodule& library : libraries) library.release();
  }
}

}  // namespace tavok
