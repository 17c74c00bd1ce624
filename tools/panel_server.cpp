#include "panel_server.h"

#include <httplib.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "panel_assets.inc"

namespace hvzelta::cli {
namespace {

using namespace std::chrono_literals;

// About seven states a second reach the page; the settings, which change
// only when someone changes them, are read about once a second.
constexpr auto kPollPeriod = 140ms;
constexpr int kPollsPerSettingsRead = 7;
// The chart's window: five minutes of voltage, current and power.
constexpr std::size_t kHistoryLength = 5 * 60 * 1000 / 140;
// An idle event stream sends a comment this often, which finds out a page
// that went away.
constexpr auto kKeepAlive = 10s;
// Each page holds one event stream, which holds one of the server's threads;
// the rest serve the page's requests.
constexpr int kServerThreads = 24;
constexpr int kMostEventStreams = 16;
// A change's body is a few dozen bytes.
constexpr std::size_t kLargestBody = 4096;

constexpr const char* kJson = "application/json";

struct Asset {
  const char* path;
  std::string_view content;
  const char* type;
};
constexpr Asset kAssets[] = {
    {"/", kPanelHtml, "text/html; charset=utf-8"},
    {"/panel.js", kPanelJs, "text/javascript; charset=utf-8"},
    {"/panel.css", kPanelCss, "text/css; charset=utf-8"},
};

std::string EventMessage(std::string_view event, const std::string& data) {
  return "event: " + std::string(event) + "\ndata: " + data + "\n\n";
}

}  // namespace

struct PanelServer::State {
  State(PanelInstrument& panel, const ListenAddress& listen, bool tokenWanted)
      : instrument(panel), address(listen), requireToken(tokenWanted) {}

  PanelInstrument& instrument;
  ListenAddress address;
  bool requireToken;
  std::optional<AccessPolicy> policy;
  httplib::Server server;
  std::thread serving;
  std::thread polling;

  // What the poller publishes and the event streams wait for.
  std::mutex mutex;
  std::condition_variable changed;
  std::string latest;
  std::uint64_t sequence = 0;
  std::deque<std::array<double, 4>> history;  // time, V, I, P
  bool stopping = false;
  bool pollNow = false;
  int streams = 0;

  void Publish(const Json& state);
  void Poll();
  bool Stream(std::uint64_t& sent, bool& historySent, httplib::DataSink& sink);
  void Route();
};

void PanelServer::State::Publish(const Json& state) {
  const Json& measurements = state["measurements"];
  const auto reading = [&](const char* name) {
    return measurements.contains(name) && measurements[name].is_number() ? measurements[name].get<double>() : 0.0;
  };
  const std::lock_guard lock(mutex);
  latest = state.dump(-1, ' ', false, Json::error_handler_t::replace);
  ++sequence;
  if (!measurements.empty()) {
    history.push_back({state["time"].get<double>(), reading("VOLTAGE_AC"), reading("CURRENT_AC"),
                       reading("POWER_AC")});
    if (history.size() > kHistoryLength) history.pop_front();
  }
  changed.notify_all();
}

void PanelServer::State::Poll() {
  for (int round = 0;; ++round) {
    const auto start = std::chrono::steady_clock::now();
    Publish(instrument.Poll(round % kPollsPerSettingsRead == 0));
    std::unique_lock lock(mutex);
    changed.wait_until(lock, start + kPollPeriod, [&] { return stopping || pollNow; });
    if (stopping) return;
    pollNow = false;
  }
}

bool PanelServer::State::Stream(std::uint64_t& sent, bool& historySent, httplib::DataSink& sink) {
  std::string message;
  {
    std::unique_lock lock(mutex);
    if (!historySent) {
      historySent = true;
      Json points = Json::array();
      for (const auto& point : history) points.push_back(point);
      message = EventMessage("history", points.dump());
    } else if (!changed.wait_for(lock, kKeepAlive, [&] { return stopping || sequence != sent; })) {
      message = ": idle\n\n";
    } else if (stopping) {
      return false;
    } else {
      sent = sequence;
      message = EventMessage("state", latest);
    }
  }
  return sink.write(message.data(), message.size());
}

void PanelServer::State::Route() {
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server.set_keep_alive_timeout(2);
  server.set_payload_max_length(kLargestBody);
  server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    const std::string token = request.has_param("token") ? request.get_param_value("token")
                                                         : request.get_header_value("X-Panel-Token");
    const std::string host = request.get_header_value("Host");
    const std::string origin = request.get_header_value("Origin");
    const std::string contentType = request.get_header_value("Content-Type");
    if (const auto refusal = policy->Refusal({request.method, host, origin, contentType, token})) {
      response.status = 403;
      response.set_content(*refusal + "\n", "text/plain; charset=utf-8");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // The page loads nothing from elsewhere, may not be framed, and its
  // address (which may hold the token) goes nowhere.
  server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Security-Policy", "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Cache-Control", "no-store");
  });

  // The page's own requests for its script and style carry the token too.
  const std::string query = policy->Token().empty() ? "" : "?token=" + policy->Token();
  for (const Asset& asset : kAssets) {
    std::string content(asset.content);
    for (std::size_t at = content.find("%QUERY%"); at != std::string::npos; at = content.find("%QUERY%", at)) {
      content.replace(at, 7, query);
    }
    server.Get(asset.path, [content, &asset](const httplib::Request&, httplib::Response& response) {
      response.set_content(content, asset.type);
    });
  }
  server.Get("/api/identity", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(instrument.Identity().dump(-1, ' ', false, Json::error_handler_t::replace), kJson);
  });
  server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    {
      const std::lock_guard lock(mutex);
      if (streams >= kMostEventStreams) {
        response.status = 503;
        response.set_content("too many pages are open on this panel; close one\n", "text/plain; charset=utf-8");
        return;
      }
      ++streams;
    }
    auto sent = std::make_shared<std::uint64_t>(0);
    auto historySent = std::make_shared<bool>(false);
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, sent, historySent](std::size_t, httplib::DataSink& sink) { return Stream(*sent, *historySent, sink); },
        [this](bool) {
          const std::lock_guard lock(mutex);
          --streams;
        });
  });

  // The changes: each answers {"error": ""} or the failure, and the next
  // state follows at once.
  using Change = PanelOutcome (*)(PanelInstrument&, const Json&);
  static constexpr std::pair<const char*, Change> kChanges[] = {
      {"/api/set",
       [](PanelInstrument& panel, const Json& body) {
         if (!body.contains("name") || !body["name"].is_string() || !body.contains("value")) {
           return PanelOutcome{"a setting change is {\"name\": ..., \"value\": ...}"};
         }
         return panel.Set(body["name"].get<std::string>(), body["value"]);
       }},
      {"/api/output",
       [](PanelInstrument& panel, const Json& body) {
         if (!body.contains("on") || !body["on"].is_boolean()) return PanelOutcome{"output takes {\"on\": true|false}"};
         return panel.SetOutput(body["on"].get<bool>());
       }},
      {"/api/trigger", [](PanelInstrument& panel, const Json&) { return panel.ArmAndTrigger(); }},
      {"/api/clear", [](PanelInstrument& panel, const Json&) { return panel.ClearProtection(); }},
      {"/api/reset", [](PanelInstrument& panel, const Json&) { return panel.Reset(); }},
  };
  for (const auto& [path, change] : kChanges) {
    server.Post(path, [this, change = change](const httplib::Request& request, httplib::Response& response) {
      const Json body = Json::parse(request.body.empty() ? "{}" : request.body, nullptr, false);
      const PanelOutcome outcome =
          body.is_object() ? change(instrument, body) : PanelOutcome{"the request's body is no JSON object"};
      response.status = outcome.error.empty() ? 200 : 422;
      response.set_content(Json{{"error", outcome.error}}.dump(-1, ' ', false, Json::error_handler_t::replace),
                           kJson);
      const std::lock_guard lock(mutex);
      pollNow = true;
      changed.notify_all();
    });
  }
}

PanelServer::PanelServer(PanelInstrument& instrument, const ListenAddress& address, bool requireToken)
    : state_(std::make_unique<State>(instrument, address, requireToken)) {}

PanelServer::~PanelServer() { Stop(); }

bool PanelServer::Start(std::string& error) {
  State& state = *state_;
  std::string token;
  if (state.requireToken || !state.address.loopback) {
    token = RandomToken();
    if (token.empty()) {
      error = "cannot read /dev/urandom for the panel's token";
      return false;
    }
  }
  if (state.address.port == 0) {
    const int port = state.server.bind_to_any_port(state.address.host);
    if (port > 0) state.address.port = static_cast<std::uint16_t>(port);
  } else if (!state.server.bind_to_port(state.address.host, state.address.port)) {
    state.address.port = 0;
  }
  if (state.address.port == 0) {
    error = "cannot listen on " + state.address.UrlHost() + ": the address is not this machine's, or the port is taken";
    return false;
  }
  state.policy.emplace(state.address, token);
  state.Route();
  state.polling = std::thread([&state] { state.Poll(); });
  state.serving = std::thread([&state] { state.server.listen_after_bind(); });
  return true;
}

std::string PanelServer::Url() const {
  const State& state = *state_;
  std::string url = "http://" + state.address.UrlHost() + ":" + std::to_string(state.address.port) + "/";
  if (!state.policy->Token().empty()) url += "?token=" + state.policy->Token();
  return url;
}

void PanelServer::Stop() {
  State& state = *state_;
  {
    const std::lock_guard lock(state.mutex);
    state.stopping = true;
    state.changed.notify_all();
  }
  if (state.polling.joinable()) state.polling.join();
  state.server.stop();
  if (state.serving.joinable()) state.serving.join();
}

}  // namespace hvzelta::cli
