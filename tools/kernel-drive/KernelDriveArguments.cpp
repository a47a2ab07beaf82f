#include "KernelDriveArguments.h"

namespace rilvane::kerneldrive {

namespace {

// configfs directory names and the UIO name: letters, digits, '-' and '_'.
bool validName(const std::string& name)
{
    if (name.empty() || name.size() > 32)
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

}  // namespace

std::string KernelDriveArguments::controlPath() const
{
    return control.empty() ? "/run/rilvane-kernel-drive-" + name + ".control" : control;
}

std::optional<KernelDriveArguments> KernelDriveArguments::parse(const std::vector<std::string>& args)
{
    KernelDriveArguments parsed;
    std::vector<std::string> positional;
    bool actionGiven = false;
    auto setAction = [&](Action action) {
        if (actionGiven)
            return false;
        parsed.action = action;
        actionGiven = true;
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            parsed.action = Action::Help;
            return parsed;
        }
        if (a == "--version") {
            parsed.action = Action::Version;
            return parsed;
        }
        if (a == "--name" || a == "--control" || a == "--trace") {
            if (i + 1 >= args.size())
                return std::nullopt;
            (a == "--name" ? parsed.name : a == "--control" ? parsed.control : parsed.tracePath) = args[++i];
        } else if (a == "--eject" || a == "--insert" || a == "--remove") {
            if (!setAction(a == "--eject" ? Action::Eject : a == "--insert" ? Action::Insert : Action::Remove))
                return std::nullopt;
        } else if (!a.empty() && a[0] == '-') {
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (!validName(parsed.name))
        return std::nullopt;
    if (parsed.action == Action::Serve) {
        if (positional.empty() || positional.size() > 2)
            return std::nullopt;
        parsed.cuePath = positional[0];
        if (positional.size() == 2)
            parsed.defectsPath = positional[1];
    } else if (!positional.empty()) {
        return std::nullopt;
    }
    return parsed;
}

const char* KernelDriveArguments::usage()
{
    return "Aufruf: rilvane-kernel-drive [--name NAME] [--control DATEI] [--trace DATEI] CUE [DEFEKTE]\n"
           "        rilvane-kernel-drive [--name NAME] [--control DATEI] --eject | --insert | --remove\n"
           "\n"
           "Stellt eine virtuelle CD (CUE-Datei und Defektliste, wie in RILVANE_VIRTUAL_DRIVES)\n"
           "als echtes SCSI-CD-ROM-Laufwerk des laufenden Kernels bereit (/dev/srN, /dev/sgN),\n"
           "über TCMU (target_core_user) und tcm_loop. Braucht root und beide Kernelmodule.\n"
           "Strg+C entfernt das Laufwerk wieder.\n"
           "\n"
           "  --name NAME       Name des Geräts in configfs (Vorgabe: rilvane0)\n"
           "  --control DATEI   Steuer-FIFO (Vorgabe: /run/rilvane-kernel-drive-NAME.control)\n"
           "  --trace DATEI     jeden Befehl des Kernels und die Antwort darauf in DATEI schreiben\n"
           "  --eject           die CD des laufenden Laufwerks herausnehmen\n"
           "  --insert          die CD wieder einlegen (das Laufwerk meldet den Wechsel)\n"
           "  --remove          das Laufwerk dem Kernel wegnehmen (wie ein abgezogenes Gerät)\n"
           "\n"
           "Die Zeile \"counts\" im Steuer-FIFO lässt das Laufwerk ausgeben, wie viele Lesebefehle\n"
           "es beantwortet hat und wie viele davon fehlgeschlagen sind.\n";
}

}  // namespace rilvane::kerneldrive
