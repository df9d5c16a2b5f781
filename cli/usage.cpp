// The help texts, one per verb, kept together so that they read alike.
#include "cli/arguments.h"

#define QUORVEL_TICK_OPTION                                                              \
  "  --tick-ms MS          the scheduler's tick, 10 to 60000 ms (default 1000, as the\n" \
  "                        dashboard; shorter ticks hurry a simulated meter)\n"
#define QUORVEL_PORT_NOTE                                                        \
  "Ports are COM1..COM18. COMn alone is a meter adapter or a port assigned in\n" \
  "\"Power Meter.ini\" under [Ports]; COMn=PATH names the device for this run\n" \
  "(/dev/ttyUSB0, /dev/serial/by-id/..., a simulator link). One device can be\n" \
  "open under one slot and in one program only.\n"
#define QUORVEL_NUMBER_NOTE "Numbers are whole numbers.\n"

namespace quorvel::cli {

const char* ToolUsage() {
  return "usage: quorvel-cli <command> [options]\n"
         "commands:\n"
         "  ports          list the ports offered as meter slots\n"
         "  probe          send a meter every read request once, print each answer\n"
         "  watch          poll meters once a second and print every answer\n"
         "  info           read a meter's settings (and history, timers)\n"
         "  log            save readings to spreadsheet files\n"
         "  export-month   save one month of a meter's history to a spreadsheet file\n"
         "  decode         decode a captured byte stream of meter answers\n"
         "  publish        publish meters' readings to an MQTT broker (Home Assistant, ...)\n"
         "  serve          run as a service: poll, publish and save readings as a settings\n"
         "                 file says, until stopped (SIGTERM or Ctrl-C)\n"
         "Run 'quorvel-cli <command> --help' for a command's options,\n"
         "'quorvel-cli --version' for the version.\n"
         "Exit status: 0 all done, 1 failed, 2 usage error, 3 partly done\n"
         "(130: a one-shot command interrupted by Ctrl-C).\n";
}

const char* DecodeUsage() {
  return "usage: quorvel-cli decode [--hex] [FILE]\n"
         "Decodes the meter answers in FILE (default: standard input) as if they\n"
         "arrived on COM1, and prints one JSON object per complete answer.\n"
         "  --hex   the input is text: whitespace-separated hex bytes (55 03 81 ...)\n"
         "Exit status: 0 all input decoded, 1 the input could not be read or holds\n"
         "a token that is not a hex byte (the answers before it are printed),\n"
         "2 usage error.\n";
}

const char* PortsUsage() {
  return "usage: quorvel-cli ports [--port COMn=PATH]... [--forget COMn]...\n"
         "Lists the slots, one line each: slot, device, USB id, kind, identity and\n"
         "the meter number last read on the slot (- for none). Kinds: adapter,\n"
         "new adapter (seen the first time, remembered now), assigned, assigned\n"
         "adapter, absent (a remembered adapter that is not plugged in; its slot\n"
         "waits for it).\n"
         "A meter adapter (USB id 1a86:7523 or 1a86:5523) keeps the slot it took\n"
         "the first time, by its USB socket (/dev/serial/by-path/...), or by its\n"
         "serial number where it has one; the first time /dev/ttyUSBk takes\n"
         "COM(k+1) when that is free, else the lowest free slot. The pairs are kept\n"
         "in \"Power Meter.ini\" under [Slots]; [Ports] assignments come first.\n"
         "  --port COMn=PATH      assign a device to a slot for this run (repeatable)\n"
         "  --forget COMn         forget the adapter and meter remembered for a slot\n"
         "                        (repeatable); close the dashboard first\n" QUORVEL_PORT_NOTE
         "A slot assigned a path that does not exist is named on standard error.\n"
         "Exit status: 0 listed, 1 nothing usable found, or a slot could not be\n"
         "forgotten, 2 usage error, 3 listed, but an assigned path does not exist\n"
         "or the settings file could not be read (its [Ports] assignments are\n"
         "missing).\n";
}

const char* ProbeUsage() {
  return "usage: quorvel-cli probe --port COMn[=PATH] [--write] [--reset-timers]\n"
         "Sends the meter every read request once (clock, live readings, tariff,\n"
         "limits, CO2 factor, meter number, timer 1, this month's history), waits\n"
         "up to two seconds for each answer and prints it as a JSON line, or\n"
         "{\"slot\":n,\"request\":code,\"answer\":null} when none came.\n"
         "  --port COMn[=PATH]    the meter\n"
         "  --write               then sends each write request once, putting back what\n"
         "                        was read: the clock (set to the computer's), the tariff,\n"
         "                        the limits with the shutdown choice, the CO2 factor and\n"
         "                        timer 1, as read. A value whose read got no answer is\n"
         "                        not written (said on standard error).\n"
         "  --reset-timers        finally clears all twenty of the meter's timers\n" QUORVEL_PORT_NOTE
         "Exit status: 0 every request answered, 1 the port could not be opened or\n"
         "nothing answered, 2 usage error, 3 some requests unanswered or writes\n"
         "skipped.\n";
}

const char* WatchUsage() {
  return "usage: quorvel-cli watch --port COMn[=PATH]... [--seconds S] [--tick-ms MS]\n"
         "Opens the meters as the dashboard does (the last one given is selected:\n"
         "its tariff, limits, CO2 factor and number are read), then polls every\n"
         "meter's live readings once a tick and prints each answer as a JSON line\n"
         "until the time is up or Ctrl-C. A meter that goes away is waited for\n"
         "(said once) and opened again when it returns.\n"
         "  --port COMn[=PATH]    a meter (repeatable)\n"
         "  --seconds S           stop after S seconds (default: at Ctrl-C)\n" QUORVEL_TICK_OPTION QUORVEL_PORT_NOTE
             QUORVEL_NUMBER_NOTE
         "Exit status: 0 every meter answered and none went away, 1 a port could not\n"
         "be opened or no answer came, 2 usage error, 3 a meter never answered or\n"
         "went away meanwhile.\n";
}

const char* InfoUsage() {
  return "usage: quorvel-cli info --port COMn[=PATH] [--history] [--timers] [--tick-ms MS]\n"
         "Reads a meter's tariff, limits, CO2 factor and meter number, and prints\n"
         "them as one JSON object.\n"
         "  --port COMn[=PATH]    the meter\n"
         "  --history             also its 12 months of daily energy (\"History\", one\n"
         "                        row per month, null for a month that never answered)\n"
         "  --timers              also its 20 timers (\"Timers\": those that answered)\n" QUORVEL_TICK_OPTION
         "Settings, months and timers that do not answer are asked for twice more\n"
         "(settings only when the meter answered something). What never\n"
         "answered is listed under \"missing\", with \"MissingMonths\" and\n"
         "\"MissingTimers\" naming their numbers.\n" QUORVEL_PORT_NOTE
         "Exit status: 0 everything read, 1 the port could not be opened or nothing\n"
         "answered, 2 usage error, 3 something missing, 130 interrupted.\n";
}

const char* LogUsage() {
  return "usage: quorvel-cli log --port COMn[=PATH]... --out DIR [--interval N] [--seconds S]\n"
         "                      [--tick-ms MS]\n"
         "Polls the meters and appends their readings to DIR/ComnRealTimeData.xls\n"
         "(Excel 97-2003 workbooks), printing each saved row as a JSON line, until\n"
         "the time is up or Ctrl-C. A meter that goes away is waited for (said\n"
         "once); its rows resume when it returns.\n"
         "  --port COMn[=PATH]    a meter (repeatable)\n"
         "  --out DIR             the folder of the files (made when missing)\n"
         "  --interval N          a row on every N-th answer, 1 to 3600 (default 1);\n"
         "                        one count for all meters, as the dashboard's\n"
         "  --seconds S           stop after S seconds (default: at Ctrl-C)\n" QUORVEL_TICK_OPTION QUORVEL_PORT_NOTE
             QUORVEL_NUMBER_NOTE
         "Exit status: 0 every row saved and no meter went away, 1 a port could not\n"
         "be opened or no row could be saved (it stops when the first rows of every\n"
         "meter fail), 2 usage error, 3 rows missing (a row failed, a meter went\n"
         "away).\n";
}

const char* ExportMonthUsage() {
  return "usage: quorvel-cli export-month --port COMn[=PATH] --month M --out DIR [--tick-ms MS]\n"
         "Reads the meter's 12-month history and adds month M's days as one row to\n"
         "DIR/ComnMonthData.xls (each export adds a row). A month that did not\n"
         "answer, even when asked for twice more, is not saved.\n"
         "  --port COMn[=PATH]    the meter\n"
         "  --month M             the month, 1 to 12\n"
         "  --out DIR             the folder of the file (made when missing)\n" QUORVEL_TICK_OPTION QUORVEL_PORT_NOTE
         "Exit status: 0 saved, 1 not saved (the port could not be opened, no\n"
         "history came, the month never answered, the file could not be written),\n"
         "2 usage error, 130 interrupted.\n";
}

#define QUORVEL_BROKER_OPTIONS                                                            \
  "  --prefix P            the topics' first level(s) (default quorvel)\n"                \
  "  --no-discovery        no Home Assistant discovery configs\n"                         \
  "  --discovery-prefix P  where Home Assistant looks for them (default homeassistant)\n" \
  "  --client-id ID        this client's name at the broker (default quorvel-HOSTNAME)\n" \
  "  --user NAME           the user name the broker asks for\n"                           \
  "  --password-file FILE  the password: the first line of FILE (never on the command\n"  \
  "                        line; a warning when others can read the file)\n"              \
  "  --ca-file FILE        TLS: the authority that signed the broker's certificate\n"     \
  "                        (the port is then 8883 unless given)\n"                        \
  "  --cert-file FILE      TLS: this client's certificate, for a broker that asks\n"      \
  "  --key-file FILE       TLS: its key\n"

const char* PublishUsage() {
  return "usage: quorvel-cli publish --port COMn[=PATH]... --broker HOST[:PORT] [--prefix P]\n"
         "                          [--no-discovery] [--seconds S] [options]\n"
         "Opens the meters, reads each one's number, tariff, limits and CO2 factor, then\n"
         "polls them once a tick and publishes to the MQTT broker, until the time is up\n"
         "or Ctrl-C (SIGINT, SIGTERM):\n"
         "  PREFIX/NUMBER/state         each reading as JSON: time (ISO 8601 with offset),\n"
         "                              voltage, current, power, power_factor, energy,\n"
         "                              co2, slot\n"
         "  PREFIX/NUMBER/info          retained: slot, port, meter number, tariff,\n"
         "                              limits, CO2 factor\n"
         "  PREFIX/NUMBER/availability  retained: online or offline\n"
         "  PREFIX/bridge/ID/status     retained: online, or offline (also as the\n"
         "                              client's last will)\n"
         "and Home Assistant's discovery configs. A meter whose number cannot be read\n"
         "goes by ID-COMn. Nothing received from the broker reaches a meter. A broker\n"
         "that is away is tried again after 1 s, doubling up to 60 s, while up to\n"
         "10 000 readings wait (the oldest dropped and counted beyond). At the end\n"
         "prints {\"broker\",\"delivered\",\"dropped\",\"queued\"} as one JSON line.\n"
         "  --port COMn[=PATH]    a meter (repeatable)\n"
         "  --broker HOST[:PORT]  the broker (port 1883 by default)\n"
         "  --seconds S           stop after S seconds (default: at Ctrl-C)\n" QUORVEL_BROKER_OPTIONS
             QUORVEL_TICK_OPTION QUORVEL_PORT_NOTE QUORVEL_NUMBER_NOTE
         "Exit status: 0 every meter answered and every reading reached the broker,\n"
         "1 a port could not be opened, the options cannot be used or nothing reached\n"
         "the broker, 2 usage error, 3 a meter never answered or went away, or readings\n"
         "were dropped or left waiting.\n";
}

const char* ServeUsage() {
  return "usage: quorvel-cli serve --config FILE [--tick-ms MS]\n"
         "Runs as a service (for systemd: quorvel-publish.service) until SIGTERM or\n"
         "Ctrl-C, then says every meter and itself offline, closes its files and\n"
         "ends with 0. FILE has the format of \"Power Meter.ini\":\n"
         "  [Ports]     COMn=PATH for each meter (/dev/serial/by-path/...); without\n"
         "              any, the meter adapters plugged in at the start\n"
         "  [Publish]   Enabled=true, Host, Port, Prefix, Discovery, DiscoveryPrefix,\n"
         "              ClientId, User, PasswordFile, CAFile, CertFile, KeyFile\n"
         "              (as the publish command's options)\n"
         "  [SysSet]    AutoSave=true saves every meter's readings, a row on every\n"
         "              Acquisition-th answer\n"
         "  [Path]      File=FOLDER/ where the .xls files go (made when missing)\n"
         "  [Comm]      Baudrate\n"
         "Meters not there yet are tried again each second; a meter that returns is\n"
         "read again (another one may be behind its adapter). Messages go to standard\n"
         "error (the journal). A settings file that cannot be read, or a value in it\n"
         "that cannot be used, stops the service with the reason.\n"
         "  --config FILE         the service's settings\n" QUORVEL_TICK_OPTION
         "Exit status: 0 stopped by a signal, 1 the settings cannot be used or no\n"
         "meter is named or plugged in, 2 usage error.\n";
}

}  // namespace quorvel::cli
