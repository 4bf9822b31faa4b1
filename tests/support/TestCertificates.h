// Certificates for the TLS tests, made with certtool when the test runs in a
// fresh temporary folder (never a key kept in the tree): a CA, a server
// certificate and a client certificate it signed, a client certificate that
// expired long ago, and a key that belongs to none of them.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace quenza {

class TTestCertificates {
 public:
  TTestCertificates() {
    char pattern[] = "/tmp/quenza-tls-XXXXXX";
    dir_ = ::mkdtemp(pattern) != nullptr ? pattern : "";
    ok_ = !dir_.empty() && Key("ca") && Key("server") && Key("client") && Key("old") && Key("stray") &&
          Template("ca", "cn = \"Quenza test CA\"\nca\ncert_signing_key\nexpiration_days = 2\n") &&
          Template("server", "cn = \"localhost\"\ntls_www_server\nsigning_key\nencryption_key\n"
                             "ip_address = \"127.0.0.1\"\nexpiration_days = 2\n") &&
          Template("client", "cn = \"sender\"\ntls_www_client\nsigning_key\nexpiration_days = 2\n") &&
          Template("old", "cn = \"old sender\"\ntls_www_client\nsigning_key\n"
                          "activation_date = \"2020-01-01 00:00:00 UTC\"\n"
                          "expiration_date = \"2020-01-02 00:00:00 UTC\"\n") &&
          Run("certtool --generate-self-signed --load-privkey " + Path("ca.key") + " --template " +
              Path("ca.tmpl") + " --outfile " + Path("ca.pem")) &&
          Signed("server") && Signed("client") && Signed("old");
  }
  ~TTestCertificates() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  TTestCertificates(const TTestCertificates&) = delete;
  TTestCertificates& operator=(const TTestCertificates&) = delete;

  bool Ok() const { return ok_; }
  // "ca.pem", "server.pem", "server.key", "client.pem", "old.pem", "stray.key", ...
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  static bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }
  bool Key(const std::string& name) {
    const std::string path = Path(name + ".key");
    // Elliptic-curve keys are made in an instant; the key file is the owner's only.
    return Run("certtool --generate-privkey --key-type ecdsa --outfile " + path) && ::chmod(path.c_str(), 0600) == 0;
  }
  bool Template(const std::string& name, const std::string& text) {
    std::ofstream(Path(name + ".tmpl")) << text;
    return true;
  }
  bool Signed(const std::string& name) {
    return Run("certtool --generate-certificate --load-privkey " + Path(name + ".key") + " --load-ca-certificate " +
               Path("ca.pem") + " --load-ca-privkey " + Path("ca.key") + " --template " + Path(name + ".tmpl") +
               " --outfile " + Path(name + ".pem"));
  }

  std::string dir_;
  bool ok_ = false;
};

}  // namespace quenza
