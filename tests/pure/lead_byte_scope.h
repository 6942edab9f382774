// Runs a test under a chosen lead-byte table and restores the previous one.
#pragma once

#include "container/lead_bytes.h"

namespace tavok {

class LeadByteScope {
 public:
  explicit LeadByteScope(const LeadByteSet& set) : saved_(ActiveLeadBytes()) { UseLeadBytes(set); }
  ~LeadByteScope() { UseLeadBytes(saved_); }
  LeadByteScope(const LeadByteScope&) = delete;
  LeadByteScope& operator=(const LeadByteScope&) = delete;

 private:
  LeadByteSet saved_;
};

}  // namespace tavok
