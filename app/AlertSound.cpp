#include "AlertSound.h"

#include <canberra.h>

#include "AlertOptions.h"

namespace quenza {

struct TAlertSound::TContext {
  ca_context* ca = nullptr;
  ~TContext() {
    if (ca != nullptr) ca_context_destroy(ca);
  }
};

TAlertSound::TAlertSound() = default;

TAlertSound::~TAlertSound() = default;

std::string TAlertSound::Play(const std::string& sound) {
  if (context_ == nullptr) {
    context_ = std::make_unique<TContext>();
    if (const int rc = ca_context_create(&context_->ca); rc != CA_SUCCESS) {
      context_->ca = nullptr;
      return ca_strerror(rc);
    }
  }
  if (context_->ca == nullptr) return ca_strerror(CA_ERROR_NOTAVAILABLE);
  const int rc = sound == alert_options::kThemeSound
                     ? ca_context_play(context_->ca, 0, CA_PROP_EVENT_ID, "message-new-instant",
                                       CA_PROP_EVENT_DESCRIPTION, "alert", nullptr)
                     : ca_context_play(context_->ca, 0, CA_PROP_MEDIA_FILENAME, sound.c_str(), nullptr);
  return rc == CA_SUCCESS ? std::string() : std::string(ca_strerror(rc));
}

}  // namespace quenza
