// The decoder plug-ins the user configured, in the user's order, which is
// also the order in which they are tried for a payload. The table is shared by
// every thread of the host: each request copies what it needs under the
// table's lock and loads its decoder into a handle of its own, so that no
// change to the table can unmap a decoder that a request is inside.
#pragma once

#include <cstdint>

#include "decoders/decoder_plugin.h"

namespace tavok {

constexpr int32_t kMaxDecoders = 10;
constexpr int32_t kDecoderUnavailable = -2;

// What fills the table: run once, at the first call that needs the table,
// rather than inside the loader's attach notification, where a decoder that
// waits for a thread of its own would deadlock the host. Setting it (null for
// nothing to run) makes the next EnsureTableLoaded run it again.
using TableLoader = void (*)();
void SetTableLoader(TableLoader loader);
// Runs the loader if it has not run yet. Every other thread waits until it
// has finished; the loading thread itself, called back into by a decoder it
// registers, goes on without running it again.
void EnsureTableLoaded();

// EnsureTableLoaded for a picture request: when this scope runs the loader,
// the decoders registration loaded stay loaded until it ends, so that the
// request uses the one it needs without loading it again; the others are
// released with it. Registered entries still hold no library between
// requests.
class table_load_scope {
 public:
  table_load_scope();
  ~table_load_scope();
  table_load_scope(const table_load_scope&) = delete;
  table_load_scope& operator=(const table_load_scope&) = delete;

 private:
  bool holding_;
};

// With it on, each decoder a request loads stays loaded, held by one
// reference of the table, until it is removed or the table is emptied.
void SetKeepDecodersLoaded(bool keep);

// With it on, a payload that no decoder whose patterns match takes is offered
// to every other entry, in table order, before the placeholder is drawn.
void SetAskEveryDecoder(bool ask);

// On, the default: a payload that no decoder whose patterns match its name
// takes is offered, before that fallback, to the entries whose patterns match
// an extension of the image format its first bytes show.
void SetMatchContent(bool match);

int32_t DecoderCount();
// Entry index, 0 to DecoderCount() - 1. Only the thread that changes the
// table (the dialog's) reads entries through it.
DecoderPlugin& DecoderAt(int32_t index);

// 1 when the module at path was accepted as an import plug-in of version
// "00IN" and appended; 0, with the table unchanged and nothing left loaded,
// otherwise. The ANSI form takes a path in the ANSI code page.
int RegisterDecoder(const wchar_t* path);
int RegisterDecoder(const char* path);

// The index of the first entry in table order whose category is category,
// whose patterns match the extension (taken from name when extension is null)
// and whose IsSupported accepts the payload; with SetMatchContent on, else the
// first one not yet asked whose patterns match the format the payload's head
// shows, asked under name with that format's extension; with
// SetAskEveryDecoder on, else the first other entry that accepts it; -1 when
// none does. payload holds at least the smaller of payload_size and kHeadSize
// readable bytes. The accepting
// decoder is left loaded in *chosen, the request's own reference, which the
// caller hands to ReleaseDecoder. kDecoderUnavailable when a candidate could
// not be asked without waiting for ever: no other is asked then, as the one
// that would have taken the payload may be that one.
int32_t FindDecoder(uint8_t category, const uint8_t* payload, int32_t payload_size,
                    const char* name, const char* extension, DecoderPlugin* chosen);

// Ends a request's use of a decoder: the table keeps the reference when
// decoders are kept loaded and the entry is still listed, else it is released.
void ReleaseDecoder(DecoderPlugin* used);

// Releases entry index and moves the later entries down one slot, in order.
void RemoveDecoder(int32_t index);

// Releases every entry and empties the table. With release_modules false
// (the process is ending, and the loader forbids freeing libraries) the
// table's references are dropped without being released.
void UnloadAllDecoders(bool release_modules = true);

}  // namespace tavok
