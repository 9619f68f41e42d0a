#include "cli/cli_options.h"

#include "util/path.h"
#include "util/unicode.h"

namespace {

struct OptionSpelling {
  char shortName;
  const char* longName;
  OptionFlags flags;
};

// One option per check box of the main dialog, -f for the lossless sound
// format (sound conversion on, in FLAC), -a for the usual three, and the two
// the command line has alone (--check has no short form).
constexpr OptionSpelling kFlagOptions[] = {
    {'s', "subfolders", IncludeSubfolders},
    {'w', "sound", CompressSound},
    {'f', "flac", CompressSound | EncodeFlac},
    {'i', "images", CompressImages},
    {'r', "repair", RepairBms},
    {'k', "keep-scripts", KeepBmsUnchanged},
    {'a', "all", IncludeSubfolders | CompressSound | CompressImages},
    {'p', "preserve-charts", PreserveCharts},
    {'\0', "check", CheckReferences},
};

bool ApplyShort(char name, CliOptions& options) {
  for (const OptionSpelling& spelling : kFlagOptions) {
    if (spelling.shortName == name) {
      options.settings.options |= spelling.flags;
      return true;
    }
  }
  switch (name) {
    case 'y':
      options.answerYes = true;
      return true;
    case 'u':
      options.update = true;
      return true;
    case 'h':
      options.help = true;
      return true;
    default:
      return false;
  }
}

bool ApplyLong(const std::string& name, CliOptions& options) {
  for (const OptionSpelling& spelling : kFlagOptions) {
    if (name == spelling.longName) {
      options.settings.options |= spelling.flags;
      return true;
    }
  }
  if (name == "yes") {
    options.answerYes = true;
  } else if (name == "update") {
    options.update = true;
  } else if (name == "json") {
    options.json = true;
  } else if (name == "help") {
    options.help = true;
  } else if (name == "version") {
    options.version = true;
  } else {
    return false;
  }
  return true;
}

// More threads than this only cost memory.
constexpr int kMaxJobs = 256;

bool ParseJobs(const std::string& text, CliOptions& options, std::string& error) {
  int value = 0;
  bool ok = !text.empty() && text.size() <= 3;
  for (char c : text) {
    if (c < '0' || c > '9') ok = false;
    if (ok) value = value * 10 + (c - '0');
  }
  if (!ok || value < 1 || value > kMaxJobs) {
    error = "bad thread count '" + text + "': expected a number from 1 to " + std::to_string(kMaxJobs);
    return false;
  }
  options.jobs = value;
  return true;
}

}  // namespace

bool ParseCliArguments(const std::vector<std::string>& arguments, CliOptions& options, std::string& error) {
  options = CliOptions{};
  std::vector<std::string> folders;
  bool optionsEnded = false;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    // The thread count's value: the rest of this argument, or the next one.
    const auto jobsValue = [&](std::size_t start, std::string& value) {
      if (start < argument.size()) {
        value = argument.substr(start);
        return true;
      }
      if (index + 1 >= arguments.size()) {
        error = "option '" + argument + "' needs a thread count";
        return false;
      }
      value = arguments[++index];
      return true;
    };
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      folders.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--jobs" || argument.rfind("--jobs=", 0) == 0) {
      std::string value;
      if (!jobsValue(argument == "--jobs" ? argument.size() : 7, value) ||
          !ParseJobs(value, options, error)) {
        return false;
      }
    } else if (argument[1] == '-') {
      if (!ApplyLong(argument.substr(2), options)) {
        error = "unknown option '" + argument + "'";
        return false;
      }
    } else {
      for (std::size_t i = 1; i < argument.size(); ++i) {
        if (argument[i] == 'j') {
          std::string value;
          if (!jobsValue(i + 1, value) || !ParseJobs(value, options, error)) return false;
          break;
        }
        if (!ApplyShort(argument[i], options)) {
          error = "unknown option '-" + std::string(1, argument[i]) + "'";
          return false;
        }
      }
    }
  }
  // Keeping the scripts' contents means there is nothing to repair: the
  // dialog unticks and disables the repair box while it is ticked.
  if ((options.settings.options & KeepBmsUnchanged) != 0) options.settings.options &= ~RepairBms;
  // Preserved charts are not repaired either; and they are kept so that the
  // converted files can take new names, which -k forbids.
  if ((options.settings.options & PreserveCharts) != 0) {
    if ((options.settings.options & KeepBmsUnchanged) != 0) {
      error = "-p and -k cannot be used together";
      return false;
    }
    options.settings.options &= ~RepairBms;
  }

  if (options.help || options.version) return true;
  // A missing folder is the start check's to report, with its own message;
  // only surplus folders are a usage error.
  if (folders.size() > 2) {
    error = "too many folders: expected INPUT OUTPUT";
    return false;
  }
  if (folders.size() >= 1) options.settings.inputFolder = Utf8ToUtf16(folders[0]);
  if (folders.size() >= 2) options.settings.outputFolder = Utf8ToUtf16(folders[1]);
  return true;
}

std::u16string AbsoluteFolder(const std::u16string& folder, const std::u16string& current) {
  if (folder.empty() || current.empty()) return folder;
  // A folder from a root ("/", "C:", "\\server\share") is absolute already.
  if (PathRootLength(folder) > 0) return folder;
  if (folder == u".") return current;
  return CombinePath(current, folder);
}

std::string CliUsageText() {
  return "Usage: hoshibako-cli [options] INPUT OUTPUT\n"
         "Mirrors the song folder INPUT into OUTPUT, converting WAV to Ogg Vorbis,\n"
         "BMP to PNG and rewriting the references in BMS scripts.\n"
         "\n"
         "  -s, --subfolders    process the subfolders too\n"
         "  -w, --sound         convert .wav files to Ogg Vorbis\n"
         "  -f, --flac          convert .wav files to FLAC instead (lossless; implies -w)\n"
         "  -i, --images        convert .bmp files to PNG\n"
         "  -r, --repair        try to repair the BMS scripts\n"
         "  -k, --keep-scripts  leave the BMS scripts unchanged (converted files keep\n"
         "                      their names; overrides -r)\n"
         "  -p, --preserve-charts\n"
         "                      copy every chart (.bms .bme .bml .pms .bmson) byte for\n"
         "                      byte, so players and score servers still know it by\n"
         "                      its hashes; converted files get their new names, which\n"
         "                      players find by trying the other extensions; stage,\n"
         "                      banner and back images stay as they are, and a file\n"
         "                      that cannot be converted is copied (overrides -r;\n"
         "                      not with -k)\n"
         "      --check         look up every file the output's charts name as\n"
         "                      players do, and list what is missing\n"
         "  -a, --all           the same as -s -w -i\n"
         "  -y, --yes           answer yes to the question asked with -k\n"
         "  -j, --jobs N        convert on N threads (default: one per hardware thread;\n"
         "                      -j 1 converts one file after another)\n"
         "  -u, --update        leave alone each file whose output is at least as new\n"
         "                      as it, when OUTPUT records the same options\n"
         "      --json          print the results as one JSON object\n"
         "  -h, --help          show this help\n"
         "      --version       show the version\n"
         "\n"
         "Progress goes to stderr, the results to stdout; the run is appended to\n"
         "hoshibako.log in the current folder. Ctrl+C stops the run: no further file\n"
         "starts, and the files already started are finished and counted.\n"
         "With -u the options are recorded in OUTPUT/.hoshibako-options; an update\n"
         "run whose options differ from the recorded ones converts everything again.\n"
         "Exit codes: 0 all folders OK, 1 some files or folders failed (or, with\n"
         "--check, a reference found in the input is missing in the output), 2 the\n"
         "run did not start, 130 cancelled.\n";
}
