#include "visa/builtin_visa.h"

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "visa/attribute_store.h"
#include "visa/deadline.h"
#include "visa/failure_detail.h"
#include "visa/lock_registry.h"
#include "visa/resource_name.h"
#include "visa/status_description.h"
#include "visa/transport.h"
#include "visa/transport_factory.h"

namespace hvzelta::visa {
namespace {

// Handles come from one counter for the whole process, so that a handle is
// never given out twice, even across library instances.
std::atomic<ViUInt32> nextHandle{1};

ViStatus NewHandle(ViSession& handle) {
  ViUInt32 value = nextHandle.fetch_add(1);
  if (value == VI_NULL || value == 0xFFFFFFFFu) return VI_ERROR_ALLOC;
  handle = value;
  return VI_SUCCESS;
}

bool IsProtocol(ViAttrState value) { return value >= VI_PROT_NORMAL && value <= VI_PROT_USBTMC_VENDOR; }

// Attributes every instrument session has, whatever its transport.
constexpr AttributeRow kTimeout{VI_ATTR_TMO_VALUE, AttrType::U32, true};
constexpr AttributeRow kTermChar{VI_ATTR_TERMCHAR, AttrType::U8, true};
constexpr AttributeRow kTermCharEnabled{VI_ATTR_TERMCHAR_EN, AttrType::Boolean, true};
constexpr AttributeRow kSendEnd{VI_ATTR_SEND_END_EN, AttrType::Boolean, true};
constexpr AttributeRow kIoProtocol{VI_ATTR_IO_PROT, AttrType::U16, true, IsProtocol};
constexpr AttributeRow kInterfaceType{VI_ATTR_INTF_TYPE, AttrType::U16, false};
constexpr AttributeRow kInterfaceNumber{VI_ATTR_INTF_NUM, AttrType::U16, false};
constexpr AttributeRow kResourceClass{VI_ATTR_RSRC_CLASS, AttrType::String, false};
constexpr AttributeRow kResourceName{VI_ATTR_RSRC_NAME, AttrType::String, false};
constexpr AttributeRow kLockState{VI_ATTR_RSRC_LOCK_STATE, AttrType::U32, false};
constexpr AttributeRow kRmSession{VI_ATTR_RM_SESSION, AttrType::U32, false};
constexpr AttributeRow kManufacturer{VI_ATTR_RSRC_MANF_NAME, AttrType::String, false};
constexpr AttributeRow kSpecVersion{VI_ATTR_RSRC_SPEC_VERSION, AttrType::U32, false};

constexpr const char* kLibraryManufacturer = "hvzelta";

void DefineLibraryAttributes(AttributeStore& store) {
  store.DefineText(kManufacturer, kLibraryManufacturer);
  store.Define(kSpecVersion, kVisaSpecVersion);
  store.Define(kLockState, VI_NO_LOCK);
}

void DefineSessionAttributes(AttributeStore& store, const ResourceName& resource, ViSession rm) {
  DefineLibraryAttributes(store);
  store.Define(kTimeout, 2000);
  store.Define(kTermChar, '\n');
  store.Define(kTermCharEnabled, VI_FALSE);
  store.Define(kSendEnd, VI_TRUE);
  store.Define(kIoProtocol, VI_PROT_NORMAL);
  store.Define(kInterfaceType, resource.interfaceType);
  store.Define(kInterfaceNumber, resource.board);
  store.DefineText(kResourceClass, resource.resourceClass);
  store.DefineText(kResourceName, resource.canonical);
  store.Define(kRmSession, rm);
}

}  // namespace

struct BuiltinVisa::Session {
  ViSession handle = VI_NULL;
  ViSession rm = VI_NULL;  // VI_NULL for a resource manager session
  std::mutex mutex;
  // Guards `transport` for Abort, which runs without `mutex` while another
  // thread's operation holds it; the transport is replaced under both.
  std::mutex abortMutex;
  ResourceName resource;
  std::string lockKey;
  std::unique_ptr<ITransport> transport;
  AttributeStore attributes;
  // What every transfer needs from the attributes, kept ready: the store is
  // a list, and a transfer should not search it four times.
  IoSettings io;
  // A resource manager's last failed open, with why it failed; StatusDesc
  // hands the reason out for that status. Guarded by `mutex`.
  ViStatus failure = VI_SUCCESS;
  std::string failureDetail;

  ViStatus Fail(ViStatus status, std::string detail) {
    std::lock_guard lock(mutex);
    failure = status;
    failureDetail = std::move(detail);
    return status;
  }

  bool IsResourceManager() const { return rm == VI_NULL; }
  const IoSettings& Io() const { return io; }
  void RefreshIo() {
    io.timeoutMs = static_cast<ViUInt32>(attributes.Number(VI_ATTR_TMO_VALUE));
    io.termChar = static_cast<ViByte>(attributes.Number(VI_ATTR_TERMCHAR));
    io.termCharEnabled = attributes.Number(VI_ATTR_TERMCHAR_EN) != VI_FALSE;
    io.sendEnd = attributes.Number(VI_ATTR_SEND_END_EN) != VI_FALSE;
  }
};

BuiltinVisa::BuiltinVisa() = default;

BuiltinVisa::~BuiltinVisa() {
  std::vector<std::shared_ptr<Session>> open;
  {
    std::lock_guard lock(tableMutex_);
    for (auto& [handle, session] : sessions_) open.push_back(session);
    sessions_.clear();
  }
  for (auto& session : open) CloseSession(session);
}

std::shared_ptr<BuiltinVisa::Session> BuiltinVisa::Find(ViObject vi) const {
  std::lock_guard lock(tableMutex_);
  auto found = sessions_.find(vi);
  return found == sessions_.end() ? nullptr : found->second;
}

BuiltinVisa::Session* BuiltinVisa::FindForThisThread(ViObject vi) const {
  // Handles are never reused in a process, so the session a thread used last
  // is the right one for as long as its handle is asked for; a closed one has
  // lost its transport, which the callers check. A test program talks to one
  // session at a time, so this spares the table and its lock nearly always.
  struct LastUsed {
    const BuiltinVisa* library = nullptr;
    ViObject vi = VI_NULL;
    std::shared_ptr<Session> session;
  };
  thread_local LastUsed last;
  if (last.library != this || last.vi != vi || !last.session) {
    std::shared_ptr<Session> found = Find(vi);
    if (!found) return nullptr;
    last = {this, vi, std::move(found)};
  }
  return last.session.get();
}

template <typename Operation>
ViStatus BuiltinVisa::WithInstrument(ViSession vi, bool needsAccess, Operation&& operation) {
  Session* session = FindForThisThread(vi);
  if (!session) return VI_ERROR_INV_OBJECT;
  if (session->IsResourceManager()) return VI_ERROR_NSUP_OPER;
  std::lock_guard lock(session->mutex);
  // A session closed while this call waited for its lock is gone.
  if (!session->transport) return VI_ERROR_INV_OBJECT;
  if (needsAccess) {
    if (ViStatus access = LockRegistry::Instance().CheckAccess(session->lockKey, vi); access != VI_SUCCESS)
      return access;
  }
  return operation(*session);
}

ViStatus BuiltinVisa::OpenDefaultRM(ViSession* rm) {
  if (!rm) return VI_ERROR_INV_PARAMETER;
  *rm = VI_NULL;
  auto session = std::make_shared<Session>();
  if (ViStatus status = NewHandle(session->handle); status != VI_SUCCESS) return status;
  DefineLibraryAttributes(session->attributes);
  {
    std::lock_guard lock(tableMutex_);
    sessions_[session->handle] = session;
  }
  *rm = session->handle;
  return VI_SUCCESS;
}

ViStatus BuiltinVisa::Open(ViSession rm, const ViChar* name, ViAccessMode mode, ViUInt32 openTimeout,
                           ViSession* vi) {
  if (vi) *vi = VI_NULL;
  std::shared_ptr<Session> manager = Find(rm);
  if (!manager || !manager->IsResourceManager()) return VI_ERROR_INV_OBJECT;
  if (!vi || !name) return VI_ERROR_INV_PARAMETER;
  if ((mode & ~(VI_EXCLUSIVE_LOCK | VI_LOAD_CONFIG)) != 0) return VI_ERROR_INV_ACC_MODE;
  std::size_t failedAt = 0;
  std::optional<ResourceName> resource = ParseResourceName(name, &failedAt);
  if (!resource && LooksLikeAlias(name)) {
    return manager->Fail(VI_ERROR_RSRC_NFOUND,
                         "no alias '" + std::string(name) + "' is defined, and the name is not a resource string");
  }
  if (!resource) {
    return manager->Fail(VI_ERROR_INV_RSRC_NAME, "malformed resource string '" + std::string(name) + "' at character " +
                                                     std::to_string(failedAt));
  }

  const Deadline deadline = Deadline::After(openTimeout);
  auto session = std::make_shared<Session>();
  session->rm = rm;
  session->resource = *resource;
  session->lockKey = resource->LockKey();
  TakeFailureDetail();  // whatever an earlier call left
  if (ViStatus status = OpenTransport(*resource, deadline, session->transport); status != VI_SUCCESS) {
    return manager->Fail(status, TakeFailureDetail());
  }
  if (ViStatus status = NewHandle(session->handle); status != VI_SUCCESS) return status;
  DefineSessionAttributes(session->attributes, *resource, rm);
  session->transport->DefineAttributes(session->attributes);
  session->RefreshIo();

  if (mode & VI_EXCLUSIVE_LOCK) {
    std::string granted;
    bool first = false;
    ViStatus locked = LockRegistry::Instance().Lock(session->lockKey, session->handle, VI_EXCLUSIVE_LOCK,
                                                    deadline.RemainingMs(), {}, granted, first);
    if (ViSucceeded(locked)) locked = session->transport->LockDevice({}, deadline.RemainingMs());
    if (ViFailed(locked)) {
      CloseSession(session);
      return locked;
    }
  }
  {
    std::lock_guard lock(tableMutex_);
    // The manager may have been closed meanwhile; its sessions go with it.
    if (!sessions_.count(rm)) {
      CloseSession(session);
      return VI_ERROR_INV_OBJECT;
    }
    sessions_[session->handle] = session;
  }
  *vi = session->handle;
  return VI_SUCCESS;
}

ViStatus BuiltinVisa::CloseSession(const std::shared_ptr<Session>& session) {
  std::unique_lock lock(session->mutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    // Another thread's operation runs on the session: it ends at once
    // instead of running out its timeout (or for ever).
    {
      std::lock_guard abort(session->abortMutex);
      if (session->transport) session->transport->Abort();
    }
    lock.lock();
  }
  if (!session->transport) return VI_SUCCESS;
  LockRegistry::Instance().ReleaseAll(session->lockKey, session->handle);
  ViStatus status = session->transport->Close(session->Io());
  std::lock_guard abort(session->abortMutex);
  session->transport.reset();
  return ViFailed(status) ? VI_ERROR_CLOSING_FAILED : VI_SUCCESS;
}

ViStatus BuiltinVisa::Close(ViObject vi) {
  std::vector<std::shared_ptr<Session>> closing;
  {
    std::lock_guard lock(tableMutex_);
    auto found = sessions_.find(vi);
    if (found == sessions_.end()) return VI_ERROR_INV_OBJECT;
    closing.push_back(found->second);
    sessions_.erase(found);
    if (closing.front()->IsResourceManager()) {
      for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (it->second->rm == vi) {
          closing.push_back(it->second);
          it = sessions_.erase(it);
        } else {
          ++it;
        }
      }
    }
  }
  ViStatus result = VI_SUCCESS;
  for (auto& session : closing) {
    if (ViStatus status = CloseSession(session); status != VI_SUCCESS && session->handle == vi) result = status;
  }
  return result;
}

ViStatus BuiltinVisa::Read(ViSession vi, ViByte* buffer, ViUInt32 count, ViUInt32* retCount) {
  if (retCount) *retCount = 0;
  return WithInstrument(vi, true, [&](Session& session) {
    if (!buffer && count > 0) return VI_ERROR_USER_BUF;
    ViUInt32 received = 0;
    ViStatus status = session.transport->Read(buffer, count, session.Io(), received);
    if (retCount) *retCount = received;
    return status;
  });
}

ViStatus BuiltinVisa::Write(ViSession vi, const ViByte* buffer, ViUInt32 count, ViUInt32* retCount) {
  if (retCount) *retCount = 0;
  return WithInstrument(vi, true, [&](Session& session) {
    if (!buffer && count > 0) return VI_ERROR_USER_BUF;
    ViUInt32 written = 0;
    ViStatus status = session.transport->Write(buffer, count, session.Io(), written);
    if (retCount) *retCount = written;
    return status;
  });
}

ViStatus BuiltinVisa::ReadSTB(ViSession vi, ViUInt16* status) {
  return WithInstrument(vi, true, [&](Session& session) {
    if (!status) return VI_ERROR_INV_PARAMETER;
    *status = 0;
    return session.transport->ReadStatusByte(session.Io(), *status);
  });
}

ViStatus BuiltinVisa::Clear(ViSession vi) {
  return WithInstrument(vi, true, [](Session& session) { return session.transport->Clear(session.Io()); });
}

ViStatus BuiltinVisa::AssertTrigger(ViSession vi, ViUInt16 protocol) {
  return WithInstrument(vi, true, [&](Session& session) {
    if (protocol != VI_TRIG_PROT_DEFAULT) return VI_ERROR_INV_PROT;
    return session.transport->Trigger(session.Io());
  });
}

ViStatus BuiltinVisa::Flush(ViSession vi, ViUInt16 mask) {
  return WithInstrument(vi, true, [&](Session& session) {
    auto both = [mask](ViUInt16 a, ViUInt16 b) { return (mask & a) && (mask & b); };
    if (mask == 0 || (mask & ~0xFFu) || both(VI_READ_BUF, VI_READ_BUF_DISCARD) ||
        both(VI_WRITE_BUF, VI_WRITE_BUF_DISCARD) || both(VI_IO_IN_BUF, VI_IO_IN_BUF_DISCARD) ||
        both(VI_IO_OUT_BUF, VI_IO_OUT_BUF_DISCARD))
      return VI_ERROR_INV_MASK;
    // Writes go straight to the device, so only input can be waiting.
    if (mask & (VI_READ_BUF | VI_READ_BUF_DISCARD | VI_IO_IN_BUF | VI_IO_IN_BUF_DISCARD))
      session.transport->DiscardInput();
    return VI_SUCCESS;
  });
}

ViStatus BuiltinVisa::Lock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, const ViChar* requestedKey,
                           ViChar* accessKey) {
  return WithInstrument(vi, false, [&](Session& session) {
    if (lockType != VI_EXCLUSIVE_LOCK && lockType != VI_SHARED_LOCK) return VI_ERROR_INV_LOCK_TYPE;
    std::string requested = lockType == VI_SHARED_LOCK && requestedKey ? requestedKey : "";
    if (requested.size() >= VI_FIND_BUFLEN) return VI_ERROR_INV_ACCESS_KEY;
    const Deadline deadline = Deadline::After(timeout);
    std::string granted;
    bool first = false;
    auto& registry = LockRegistry::Instance();
    ViStatus status = registry.Lock(session.lockKey, vi, lockType, timeout, requested, granted, first);
    if (ViFailed(status)) return status;
    if (first) {
      ViStatus device = session.transport->LockDevice(granted, deadline.RemainingMs());
      if (ViFailed(device)) {
        ViAccessMode released = VI_NO_LOCK;
        bool last = false;
        registry.Unlock(session.lockKey, vi, released, last);
        return device;
      }
    }
    if (accessKey && lockType == VI_SHARED_LOCK) {
      std::memcpy(accessKey, granted.c_str(), granted.size() + 1);
    }
    return status;
  });
}

ViStatus BuiltinVisa::Unlock(ViSession vi) {
  return WithInstrument(vi, false, [&](Session& session) {
    ViAccessMode released = VI_NO_LOCK;
    bool last = false;
    ViStatus status = LockRegistry::Instance().Unlock(session.lockKey, vi, released, last);
    if (ViFailed(status)) return status;
    if (last) {
      if (ViStatus device = session.transport->UnlockDevice(released, session.Io()); ViFailed(device)) return device;
    }
    return status;
  });
}

ViStatus BuiltinVisa::GetAttribute(ViObject vi, ViAttr attribute, void* value) {
  std::shared_ptr<Session> session = Find(vi);
  if (!session) return VI_ERROR_INV_OBJECT;
  std::lock_guard lock(session->mutex);
  if (!session->IsResourceManager()) {
    if (!session->transport) return VI_ERROR_INV_OBJECT;
    if (attribute == VI_ATTR_RSRC_LOCK_STATE)
      session->attributes.Update(attribute, LockRegistry::Instance().State(session->lockKey));
    session->transport->RefreshAttribute(attribute, session->attributes);
  }
  return session->attributes.Get(attribute, value);
}

ViStatus BuiltinVisa::SetAttribute(ViObject vi, ViAttr attribute, ViAttrState value) {
  std::shared_ptr<Session> session = Find(vi);
  if (!session) return VI_ERROR_INV_OBJECT;
  std::lock_guard lock(session->mutex);
  if (!session->IsResourceManager() && !session->transport) return VI_ERROR_INV_OBJECT;
  AttributeStore& attributes = session->attributes;
  const ViAttrState previous = attributes.Number(attribute);
  if (ViStatus status = attributes.Set(attribute, value); status != VI_SUCCESS) return status;
  if (session->IsResourceManager()) return VI_SUCCESS;
  ViStatus applied = session->transport->ApplyAttribute(attribute, attributes);
  if (ViFailed(applied)) attributes.Update(attribute, previous);
  session->RefreshIo();
  return applied;
}

ViStatus BuiltinVisa::StatusDesc(ViObject vi, ViStatus status, ViChar* description) {
  const std::shared_ptr<Session> session = Find(vi);
  if (!session) return VI_ERROR_INV_OBJECT;
  if (!description) return VI_ERROR_INV_PARAMETER;
  std::string text;
  bool known = DescribeStatus(status, text);
  {
    std::lock_guard lock(session->mutex);
    if (status == session->failure && !session->failureDetail.empty()) text = session->failureDetail;
  }
  std::size_t length = std::min(text.size(), VI_FIND_BUFLEN - 1);
  std::memcpy(description, text.data(), length);
  description[length] = '\0';
  return known ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS;
}

ViStatus BuiltinVisa::ParseRsrc(ViSession rm, const ViChar* name, ViUInt16* interfaceType,
                                ViUInt16* interfaceNumber) {
  std::shared_ptr<Session> manager = Find(rm);
  if (!manager || !manager->IsResourceManager()) return VI_ERROR_INV_OBJECT;
  if (!name) return VI_ERROR_INV_PARAMETER;
  std::optional<ResourceName> resource = ParseResourceName(name);
  if (!resource) return VI_ERROR_INV_RSRC_NAME;
  if (interfaceType) *interfaceType = resource->interfaceType;
  if (interfaceNumber) *interfaceNumber = resource->board;
  return VI_SUCCESS;
}

std::shared_ptr<IVisaLibrary> BuiltinVisaLibrary() {
  static std::shared_ptr<IVisaLibrary> library = std::make_shared<BuiltinVisa>();
  return library;
}

}  // namespace hvzelta::visa
