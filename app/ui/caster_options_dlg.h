// "Caster options": how the mode dialog's caster is spoken to (NTRIP version, TLS and the CA file
// that verifies it), the Base's user name and the Rover's upstream choice, with the protocol in
// use. The mode dialogs open it with Ctrl+T or from their menu and save what OK takes over.
#pragma once

#include "app/ui/dialog.h"
#include "common/caster_options.h"
#include "platform/message_sink.h"

namespace quillon::ui {

inline constexpr int kIdNtripVersion = 1041;
inline constexpr int kIdTls = 1042;
inline constexpr int kIdCaFile = 1043;
inline constexpr int kIdBaseUserName = 1044;  // the Base's only
inline constexpr int kIdUpstream = 1045;      // the Rover's only, with the GGA interval
inline constexpr int kIdGgaSeconds = 1046;
inline constexpr int kIdProtocolInUse = 1047;

class CCasterOptionsDlg : public Dialog {
  Q_OBJECT

 public:
  // `options` as the record has them; `editable` false while a session runs, when the dialog only
  // shows them. A refused value is said through `messages` and the dialog stays.
  CCasterOptionsDlg(CasterOptions options, ConnectingMode mode, bool editable,
                    MessageSink& messages, QWidget* parent = nullptr);

  // The values to take over after OK.
  const CasterOptions& Options() const { return options_; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnSelChange(int id) override;
  void OnOK() override;

 private:
  // TLS only with NTRIP 2, the CA file only with TLS, the interval only for GGA alone.
  void EnableControls();

  CasterOptions options_;
  const ConnectingMode mode_;
  const bool editable_;
  MessageSink& messages_;
};

}  // namespace quillon::ui
