#pragma once

// The panel's web server: the page, its live state as server-sent events,
// and the changes the page posts, each request checked by the access policy
// first. A poller thread takes the instrument's state several times a second
// and hands it to every connected page.

#include <memory>
#include <string>

#include "panel_access.h"
#include "panel_instrument.h"

namespace hvzelta::cli {

class PanelServer {
 public:
  PanelServer(PanelInstrument& instrument, const ListenAddress& address, bool requireToken);
  ~PanelServer();
  PanelServer(const PanelServer&) = delete;
  PanelServer& operator=(const PanelServer&) = delete;

  // Binds the address and starts serving and polling; false with `error`
  // set when the address cannot be bound or no token can be made.
  bool Start(std::string& error);

  // The page's address, with the token when there is one.
  std::string Url() const;

  // Stops polling and serving; every page sees its event stream end.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace hvzelta::cli
