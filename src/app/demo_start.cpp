#include "demo_start.h"

#include "demo.h"

namespace corvane::app {

namespace {

class PtyDemo : public DemoStart {
 public:
  std::string PortPath() const override { return demo_.PortPath(); }
  QString Folder() const override { return demo_.Folder(); }

 private:
  Demo demo_;
};

}  // namespace

std::unique_ptr<DemoStart> StartDemo() { return std::make_unique<PtyDemo>(); }

std::string DemoUnavailable() { return {}; }

}  // namespace corvane::app
