#pragma once

// The find lists viFindRsrc hands out: the names found and how far
// viFindNext has gone. A find list's handle is a resource manager session of
// its own, so that it comes from the same handle space as every other VISA
// object of the process and is never mistaken for one.

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "visa/visa_library.h"

namespace hvzelta::visa {

class FindLists {
 public:
  explicit FindLists(IVisaLibrary& library) : library_(library) {}

  ViStatus Create(ViSession manager, std::vector<std::string> names, ViObject& handle);
  bool Contains(ViObject handle) const;
  // The next name; VI_ERROR_RSRC_NFOUND once every name was given.
  ViStatus Next(ViObject handle, std::string& name);
  // Closes one find list, or every list of a resource manager session.
  ViStatus Close(ViObject handle);
  void CloseAllOf(ViSession manager);

 private:
  struct List {
    ViSession manager = VI_NULL;
    std::vector<std::string> names;
    std::size_t next = 0;
  };

  IVisaLibrary& library_;
  mutable std::mutex mutex_;
  std::unordered_map<ViObject, List> lists_;
};

}  // namespace hvzelta::visa
