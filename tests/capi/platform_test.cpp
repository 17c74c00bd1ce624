// The stand-ins the C interface builds on: IVI sessions with their data slot,
// lock and error storage, the object registry, and the copy-out rule.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/ivi_session.h"
#include "platform/object_registry.h"
#include "platform/string_copy_out.h"

namespace hvzelta {
namespace {

TEST(CopyStringOutTest, EverySizeRule) {
  // A size of 0 or no buffer leaves the buffer alone; a negative size copies all.
  const struct {
    const char* text;
    ViInt32 size;
    bool buffer;
    ViInt32 returned;
    const char* after;
  } cases[] = {{"abc", 10, true, 0, "abc"}, {"abc", 4, true, 0, "abc"}, {"abc", 3, true, 4, "ab"},
               {"abc", 1, true, 4, ""},     {"abc", 0, true, 4, "zz"},  {"abc", 5, false, 4, "zz"},
               {"abc", -1, true, 0, "abc"}, {"", 5, true, 0, ""},       {"", 0, true, 1, "zz"},
               {"", 5, false, 1, "zz"}};
  for (const auto& c : cases) {
    char buffer[8] = "zz";
    EXPECT_EQ(CopyStringOut(c.text, c.buffer ? buffer : nullptr, c.size), c.returned) << c.text << " " << c.size;
    EXPECT_STREQ(buffer, c.after) << c.text << " " << c.size;
  }
}

TEST(IviSessionTest, DisposingWakesThreadsWaitingForTheLock) {
  ViSession session = 0;
  ASSERT_EQ(IviSession_New(&session), VI_SUCCESS);
  ASSERT_EQ(IviSession_Lock(session, nullptr), VI_SUCCESS);
  std::atomic<ViStatus> waited{VI_SUCCESS};
  std::thread waiter([&] { waited = IviSession_Lock(session, nullptr); });
  // Whether the waiter is already waiting or not, it cannot get the lock.
  ASSERT_EQ(IviSession_Dispose(session), VI_SUCCESS);
  waiter.join();
  EXPECT_EQ(waited.load(), HVZELTA_ERROR_INVALID_SESSION_HANDLE);
}

// Exclusion and re-entry of the session lock under contention: the count is
// only right when no two holders ever overlap.
TEST(IviSessionTest, TheLockKeepsItsHoldersApart) {
  ViSession session = 0;
  ASSERT_EQ(IviSession_New(&session), VI_SUCCESS);
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  int count = 0;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        ViBoolean has = VI_FALSE;
        failures += IviSession_Lock(session, &has) != VI_SUCCESS;
        failures += IviSession_Lock(session, nullptr) != VI_SUCCESS;  // again, as its holder
        ++count;
        failures += IviSession_Unlock(session, nullptr) != VI_SUCCESS;
        failures += IviSession_Unlock(session, &has) != VI_SUCCESS || has != VI_FALSE;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(count, kThreads * kRounds);
  EXPECT_EQ(IviSession_Dispose(session), VI_SUCCESS);
}

// A thread that keeps using one session finds it without the table; the
// session must still be gone for it once disposed, on that thread and others.
TEST(IviSessionTest, ADisposedSessionIsGoneForThreadsThatUsedIt) {
  ViSession session = 0;
  ViSession other = 0;
  ASSERT_EQ(IviSession_New(&session), VI_SUCCESS);
  ASSERT_EQ(IviSession_New(&other), VI_SUCCESS);
  void* data = nullptr;
  ASSERT_EQ(IviSession_SetDataPtr(session, &session), VI_SUCCESS);
  ASSERT_EQ(IviSession_GetDataPtr(session, &data), VI_SUCCESS);
  std::thread([&] { EXPECT_EQ(IviSession_GetDataPtr(session, &data), VI_SUCCESS); }).join();
  std::atomic<bool> used{false};
  std::atomic<bool> disposed{false};
  std::thread sameThread([&] {
    void* seen = nullptr;
    EXPECT_EQ(IviSession_GetDataPtr(session, &seen), VI_SUCCESS);
    used = true;
    while (!disposed) std::this_thread::yield();
    EXPECT_EQ(IviSession_GetDataPtr(session, &seen), HVZELTA_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(IviSession_Lock(session, nullptr), HVZELTA_ERROR_INVALID_SESSION_HANDLE);
    EXPECT_EQ(IviSession_SetError(session, -5, "lost"), HVZELTA_ERROR_INVALID_SESSION_HANDLE);
  });
  while (!used) std::this_thread::yield();
  ASSERT_EQ(IviSession_Dispose(session), VI_SUCCESS);
  disposed = true;
  sameThread.join();
  EXPECT_EQ(IviSession_GetDataPtr(session, &data), HVZELTA_ERROR_INVALID_SESSION_HANDLE);
  // Another session in between does not bring it back.
  EXPECT_EQ(IviSession_GetDataPtr(other, &data), VI_SUCCESS);
  EXPECT_EQ(IviSession_Unlock(session, nullptr), HVZELTA_ERROR_INVALID_SESSION_HANDLE);
  EXPECT_EQ(IviSession_Dispose(other), VI_SUCCESS);
}

class CountedObject final : public IUnknown {
 public:
  HRESULT QueryInterface(const IID&, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  std::uint32_t AddRef() override { return ++references; }
  std::uint32_t Release() override { return --references; }
  std::atomic<std::uint32_t> references{1};
};

TEST(ObjectRegistryTest, CookiesHoldOneReferenceUntilRevoked) {
  CountedObject object;
  std::uint32_t cookie = 0;
  ASSERT_EQ(RegisterObject(&object, cookie), S_OK);
  EXPECT_EQ(object.references, 2u);
  std::thread([&] {
    IUnknown* found = nullptr;
    ASSERT_EQ(GetRegisteredObject(cookie, &found), S_OK);
    EXPECT_EQ(found, &object);
    found->Release();
  }).join();
  EXPECT_EQ(RevokeObject(cookie), S_OK);
  EXPECT_EQ(object.references, 1u);
  IUnknown* found = &object;
  EXPECT_EQ(GetRegisteredObject(cookie, &found), E_INVALIDARG);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(RevokeObject(cookie), E_INVALIDARG);
  EXPECT_EQ(RegisterObject(nullptr, cookie), E_INVALIDARG);
}

}  // namespace
}  // namespace hvzelta
