#include "cli/SettingsCommand.h"

#include <QEventLoop>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/CliPrompter.h"
#include "core/app/IoSetup.h"
#include "core/instrument/DeviceListModel.h"
#include "core/meterconfig/DeviceSettingsModel.h"

namespace merilog::cli {

namespace {

struct SettingsArgs {
  bool set = false;
  int line = 0;
  std::optional<QString> function, range, second, transducer, secondFunction, secondRange, secondChoice;
  std::optional<QStringList> coefficients;
};

bool ParseSettingsArgs(QStringList args, SettingsArgs* out, std::string* error) {
  if (args.isEmpty() || (args[0] != "get" && args[0] != "set")) return *error = "settings needs get or set", false;
  out->set = args.takeFirst() == "set";
  const std::pair<const char*, std::optional<QString>*> labels[] = {
      {"--function", &out->function},
      {"--range", &out->range},
      {"--second", &out->second},
      {"--transducer", &out->transducer},
      {"--second-function", &out->secondFunction},
      {"--second-range", &out->secondRange},
      {"--second-choice", &out->secondChoice},
  };
  for (int i = 0; i < args.size(); i += 2) {
    const QString& name = args[i];
    if (i + 1 >= args.size()) return *error = name.toStdString() + " needs a value", false;
    const QString& value = args[i + 1];
    bool known = false;
    if (name == "--device") {
      bool ok = false;
      out->line = value.toInt(&ok);
      if (!ok || out->line < 1) return *error = "--device takes a device-list line 1, 2, ...", false;
      known = true;
    } else if (name == "--coefficients" && out->set) {
      out->coefficients = value.split(',');
      known = true;
    }
    for (const auto& [option, field] : labels) {
      if (name == option && out->set) {
        *field = value;
        known = true;
      }
    }
    if (!known) return *error = "unknown settings option \"" + name.toStdString() + "\"", false;
  }
  if (out->line == 0) return *error = "settings needs --device K", false;
  if (out->set && !out->function) return *error = "settings set needs --function LABEL", false;
  if (out->transducer && *out->transducer != "2W" && *out->transducer != "4W")
    return *error = "--transducer takes 2W or 4W", false;
  return true;
}

// Labels compare without case, blanks and degree signs, so "C" finds "° C".
QString Plain(QString label) {
  return label.remove(' ').remove(QChar(0xB0)).toLower();
}

int Find(const QStringList& items, const QString& label) {
  const int exact = static_cast<int>(items.indexOf(label));
  if (exact >= 0) return exact;
  for (int i = 0; i < items.size(); ++i)
    if (Plain(items[i]) == Plain(label)) return i;
  return -1;
}

// Runs the event loop until the dialog has no exchange under way.
class Waiter {
 public:
  explicit Waiter(DeviceSettingsModel& model) : model_(model) {
    model_.onChanged = [this] {
      if (!model_.Busy()) loop_.quit();
    };
  }
  ~Waiter() { model_.onChanged = nullptr; }
  void Wait() {
    if (model_.Busy()) loop_.exec();
  }

 private:
  DeviceSettingsModel& model_;
  QEventLoop loop_;
};

void PrintBox(const ChoiceBoxState& box, const QString& prefix = {}) {
  if (!box.control.shown) return;
  // A setting of the meter that the box does not offer is printed as the dialog shows it.
  const QString shown = box.selected >= 0 ? box.SelectedText() : box.placeholder;
  if (!shown.isEmpty()) std::cout << (prefix + box.caption).toStdString() << ": " << shown.toStdString() << "\n";
}

void PrintState(const DeviceSettingsViewState& v) {
  if (v.functionSelected >= 0)
    std::cout << v.functionCaption.toStdString() << ": " << v.functions.value(v.functionSelected).toStdString() << "\n";
  PrintBox(v.range);
  PrintBox(v.second);
  PrintBox(v.transducer);
  for (const CoefficientFieldState& c : v.coefficients)
    if (c.shown) std::cout << c.label.toStdString() << ": " << c.text.toStdString() << "\n";
  PrintBox(v.secondFunction);
  PrintBox(v.secondRange, "2ND ");
  PrintBox(v.secondChoice, "2ND ");
  PrintBox(v.secondTransducer, "2ND ");
  std::cout << std::flush;
}

// Finds the meters as the main window does; false, said on standard error, when
// the instruments cannot be set up or line `line` holds no meter.
bool FindMeters(const CliOptions& options, int line, Instruments* instruments,
                std::unique_ptr<DeviceListModel>* devices) {
  std::string why;
  if (!SetUpInstruments(options.io, instruments, &why)) {
    std::cerr << "merilog-cli: " << why << "\n";
    return false;
  }
  *devices = std::make_unique<DeviceListModel>(*instruments->resources, instruments->lanResources);
  QEventLoop loop;
  bool found = false;
  (*devices)->Discover([&] {
    found = true;
    loop.quit();
  });
  if (!found) loop.exec();
  if (line <= (*devices)->DeviceCount()) return true;
  std::cerr << "merilog-cli: no meter on line " << line << " (" << (*devices)->DeviceCount() << " found)\n";
  return false;
}

}  // namespace

int RunSettingsCommand(const CliOptions& options, const QStringList& args) {
  SettingsArgs sa;
  if (std::string error; !ParseSettingsArgs(args, &sa, &error)) {
    std::cerr << "merilog-cli: " << error << "\n";
    return 2;
  }
  Instruments instruments;
  std::unique_ptr<DeviceListModel> devices;
  if (!FindMeters(options, sa.line, &instruments, &devices)) return 1;
  // The dialog's OK/Cancel boxes change nothing that follows: they are notices here.
  CliPrompter prompter(CliPrompter::Notices);
  DeviceSettingsModel model(prompter);
  model.HandOverDevices(HandOverTo(HandOverDialog::DeviceSettings, devices->Devices()));
  Waiter session(model);
  model.OpenDialog(sa.line - 1);
  session.Wait();
  if (!prompter.shown.isEmpty()) return 1;  // reading back shows no message but "Check Device Connection"

  if (sa.set) {
    // Chooses an entry of a list the way a click would; false when the label is not offered.
    auto choose = [&](const char* option, const QString& label, auto items, auto handler) {
      const int i = Find(items(), label);
      if (i < 0) {
        std::cerr << "merilog-cli: " << option << " \"" << label.toStdString()
                  << "\" is not offered; choices: " << items().join(", ").toStdString() << "\n";
        return false;
      }
      (model.*handler)(i);
      session.Wait();
      return true;
    };
    const DeviceSettingsViewState& v = model.View();
    if (!choose(
            "--function", *sa.function, [&] { return v.functions; }, &DeviceSettingsModel::OnFunctionSelected))
      return 2;
    if (sa.range && !choose(
                        "--range", *sa.range, [&] { return v.range.items; }, &DeviceSettingsModel::OnSensorSelected))
      return 2;
    if (sa.second &&
        !choose(
            "--second", *sa.second, [&] { return v.second.items; }, &DeviceSettingsModel::SecondChoiceSelected))
      return 2;
    if (sa.transducer && !choose(
                             "--transducer", *sa.transducer + " RTD", [&] { return v.transducer.items; },
                             &DeviceSettingsModel::TransducerSelected))
      return 2;
    if (sa.coefficients) {
      std::vector<int> shown;
      for (int slot = 0; slot < kCoefficientSlots; ++slot)
        if (v.coefficients[static_cast<std::size_t>(slot)].shown) shown.push_back(slot);
      if (shown.size() != static_cast<std::size_t>(sa.coefficients->size())) {
        std::cerr << "merilog-cli: --coefficients takes " << shown.size() << " values for this sensor\n";
        return 2;
      }
      for (std::size_t k = 0; k < shown.size(); ++k)
        model.CoefficientEdited(shown[k], sa.coefficients->at(static_cast<qsizetype>(k)).trimmed());
      session.Wait();
    }
    if (sa.secondFunction && !choose(
                                 "--second-function", *sa.secondFunction, [&] { return v.secondFunction.items; },
                                 &DeviceSettingsModel::OnSecondFunctionSelected))
      return 2;
    if (sa.secondRange && !choose(
                              "--second-range", *sa.secondRange, [&] { return v.secondRange.items; },
                              &DeviceSettingsModel::SecondRangeSelected))
      return 2;
    if (sa.secondChoice && !choose(
                               "--second-choice", *sa.secondChoice, [&] { return v.secondChoice.items; },
                               &DeviceSettingsModel::SecondSettingSelected))
      return 2;
    model.ApplySettings();
    session.Wait();
    const std::optional<ApplyEnd> end = model.LastApplyEnd();
    if (!end || *end == ApplyEnd::Refused || *end == ApplyEnd::Lost) {
      PrintState(model.View());
      return 1;
    }
  }
  PrintState(model.View());
  return 0;
}

}  // namespace merilog::cli
