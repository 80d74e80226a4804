#include "tests/fbb/fbb_bbs.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tw::fbb_test {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDaemon = "/usr/sbin/xfbbd";
constexpr const char* kStockConfig = "/etc/ax25/fbb";

bool WriteFile(const fs::path& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) error = "cannot write " + path.string();
  return static_cast<bool>(out);
}

std::string Configuration(const std::string& call, const fs::path& conf, const fs::path& data) {
  const std::string d = data.string();
  std::ostringstream out;
  out << "version = FBB7.0.11\n"
      << "callsign = " << call << "\n"
      << "ssid = 0\n"
      << "qraloc = JN03QL\n"
      << "city = Testing\n"
      << "name = Sysop\n"
      << "sysop = " << call << "\n"
      << "config = " << conf.string() << "\n"
      << "data = " << d << "\n"
      << "messages = " << d << "/mail\n"
      << "compressed = " << d << "/binmail\n"
      << "fbbdos = *,*," << d << "/fbbdos,*,*,*,*,*\n"
      << "yapp = " << d << "/fbbdos/yapp\n"
      << "docs = " << d << "/docs\n"
      << "import = " << d << "/mail/mail.in\n"
      << "logs = OK\n"
      << "test = NO\n"
      << "fbbfwd = OK 160\n"
      << "fbbcomp = NO\n"  // plain FBB blocks: the scripted partner reads them as text
      << "askinfo = NO\n"
      // New users: local, expert, unproto lists, new-message list; no
      // pagination, which would stop a long message at "ENTER = continue".
      << "mask = 3584\n"
      << "security = 0 4 59\n"
      << "warning = 0\n"
      << "housekeeping = 2\n"
      << "timeout = 10 20\n"
      << "maxdownload = 0 0\n"
      << "localtime = 0\n"
      << "beacon = 8\n"
      << "scroll = 1500 1500 1500\n"
      << "fwdheader = [$c] $$:$R\n"
      << "maxbids = 30000\n"
      << "lifetime = 30\n"
      << "zipcode = 00000\n"
      << "unprotoes = 500 5 P\n";
  return out.str();
}

// One serial port (interface 9, Linux) holding one KAM, whose VHF port
// (multiplexer channel 1) has four channels; forwards start every minute.
std::string Ports(const std::string& terminal) {
  return "#Ports TNCs\n"
         " 1 1\n"
         "#Com Interface Address Baud\n"
         " 1 9 " + terminal + " 9600\n"
         "#TNC NbCh Com MultCh Pacln Maxfr NbFwd MxBloc M/P-Fwd Mode Freq\n"
         " 0 0 0 0 0 0 0 0 00/01 ---- File-fwd.\n"
         " 1 4 1 1 250 2 1 10 00/01 UK VHF\n";
}

std::string Forwards(const std::string& partner) {
  return "A " + partner + "\nP A\nC C " + partner + "\nB " + partner + "\nF " + partner + "\n-------\n";
}

// The partner list keeps its 80 numbered lines; the partner is number 1.
std::string Partners(const std::string& partner) {
  std::string text = "01 " + partner + "\n";
  for (int i = 2; i <= 80; ++i) text += (i < 10 ? "0" : "") + std::to_string(i) + " \n";
  return text;
}

}  // namespace

FbbBbs::~FbbBbs() { Stop(); }

bool FbbBbs::Installed(std::string& whyNot) {
  if (access(kDaemon, X_OK) != 0) {
    whyNot = std::string(kDaemon) + " is not installed (Debian package fbb)";
    return false;
  }
  if (!fs::is_directory(kStockConfig)) {
    whyNot = std::string(kStockConfig) + " is missing (Debian package fbb)";
    return false;
  }
  return true;
}

bool FbbBbs::WriteTree(const FbbSettings& settings, std::string& error) const {
  const fs::path conf = fs::path(dir_) / "c";
  const fs::path data = fs::path(dir_) / "d";
  std::error_code failed;
  fs::copy(kStockConfig, conf, fs::copy_options::recursive, failed);
  if (failed) {
    error = std::string("copying ") + kStockConfig + ": " + failed.message();
    return false;
  }
  for (const char* sub : {"binmail", "oldmail", "log", "sat", "wp", "docs", "fbbdos/yapp"}) {
    fs::create_directories(data / sub, failed);
  }
  for (int n = 0; n < 10; ++n) {
    fs::create_directories(data / "mail" / ("mail" + std::to_string(n)), failed);
    fs::create_directories(data / "binmail" / ("mail" + std::to_string(n)), failed);
  }
  if (failed) {
    error = "creating " + data.string() + ": " + failed.message();
    return false;
  }
  const std::string outgoing = "SP " + settings.partner + " @ " + settings.partner + " < " + settings.call + "\n" +
                               settings.outgoingTitle + "\n" + settings.outgoingText + "/EX\n";
  return WriteFile(conf / "fbb.conf", Configuration(settings.call, conf, data), error) &&
         WriteFile(conf / "port.sys", Ports(settings.terminal), error) &&
         WriteFile(conf / "forward.sys", Forwards(settings.partner), error) &&
         WriteFile(conf / "bbs.sys", Partners(settings.partner), error) &&
         WriteFile(data / "mail" / "mail.in", outgoing, error);
}

bool FbbBbs::Start(const FbbSettings& settings, std::string& error) {
  std::string pattern = "/tmp/fbXXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    error = "cannot create a directory under /tmp";
    return false;
  }
  dir_ = pattern;
  if (!WriteTree(settings, error)) return false;
  // The daemon replaces the shell, so the test's process rules (killed with
  // the test) hold for it; `yes` ends with it.
  const std::string script =
      "cd \"$1\" && exec env FBBCONF=\"$2\" TW_KAM_TTY=\"$3\" LD_PRELOAD=\"$4\" " + std::string(kDaemon) +
      " -v -p \"$5\" < <(yes Y)";
  return process_.Start({"/bin/bash", "-c", script, "fbb", dir_ + "/d", dir_ + "/c/fbb.conf", settings.terminal,
                         settings.preload, std::to_string(program_test::FreePort())},
                        dir_ + "/fbb.out", error);
}

bool FbbBbs::WaitUntilReady(program_test::Millis timeout) const {
  return process_.WaitForOutput("xfbbd ready and running", timeout);
}

std::string FbbBbs::SessionLog() const {
  std::string text;
  std::error_code failed;
  for (const auto& entry : fs::directory_iterator(fs::path(dir_) / "d" / "log", failed)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    text += content.str();
  }
  return text;
}

void FbbBbs::Stop() {
  process_.Kill();
  if (!dir_.empty() && !keepFiles_) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    dir_.clear();
  }
}

}  // namespace tw::fbb_test
