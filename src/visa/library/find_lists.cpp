#include "visa/library/find_lists.h"

namespace hvzelta::visa {

ViStatus FindLists::Create(ViSession manager, std::vector<std::string> names, ViObject& handle) {
  if (ViStatus status = library_.OpenDefaultRM(&handle); status != VI_SUCCESS) return status;
  std::lock_guard lock(mutex_);
  lists_[handle] = List{manager, std::move(names), 1};  // the first name goes out with viFindRsrc
  return VI_SUCCESS;
}

bool FindLists::Contains(ViObject handle) const {
  std::lock_guard lock(mutex_);
  return lists_.count(handle) != 0;
}

ViStatus FindLists::Next(ViObject handle, std::string& name) {
  std::lock_guard lock(mutex_);
  auto found = lists_.find(handle);
  if (found == lists_.end()) return VI_ERROR_INV_OBJECT;
  List& list = found->second;
  if (list.next >= list.names.size()) return VI_ERROR_RSRC_NFOUND;
  name = list.names[list.next++];
  return VI_SUCCESS;
}

ViStatus FindLists::Close(ViObject handle) {
  {
    std::lock_guard lock(mutex_);
    if (lists_.erase(handle) == 0) return VI_ERROR_INV_OBJECT;
  }
  library_.Close(handle);
  return VI_SUCCESS;
}

void FindLists::CloseAllOf(ViSession manager) {
  std::vector<ViObject> closing;
  {
    std::lock_guard lock(mutex_);
    for (auto it = lists_.begin(); it != lists_.end();) {
      if (it->second.manager == manager) {
        closing.push_back(it->first);
        it = lists_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (ViObject handle : closing) library_.Close(handle);
}

}  // namespace hvzelta::visa
