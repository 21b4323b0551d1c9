#include "ops/History.h"

#include <algorithm>
#include <cstdio>

#include "files/File.h"
#include "ops/StateFolder.h"
#include "platform/Environment.h"

namespace marnel {

namespace {

// Whether the history ends a line: a new line must not join one cut short.
// Read beside the writer that holds it; a file that cannot be read is taken
// as ending one (the append then meets the real problem).
bool EndsWithNewLine(IFileSystem& fileSystem, const std::string& path) {
    CFile file(fileSystem);
    try {
        file.OpenReadBesideWriters(path);
        const std::uint64_t length = file.GetLength();
        if (length == 0) {
            return true;
        }
        file.Seek(length - 1);
        char last = '\n';
        file.Read(&last, 1);
        return last == '\n';
    } catch (const CFileException&) {
        return true;
    }
}

void AddField(std::string* line, const char* name, const std::string& value) {
    if (!value.empty()) {
        *line += std::string(",\"") + name + "\":" + JsonQuoted(value);
    }
}

}  // namespace

// Strictly by the standard's table of well-formed sequences: no overlong
// form, no surrogate, nothing above U+10FFFF.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || at + length > text.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) >> 6) != 0x2) {
            return 0;
        }
    }
    return length;
}

bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceAt(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string JsonQuoted(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8SequenceAt(text, i);
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || length == 0) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

std::string CHistory::Path() {
    const std::string state = StateFolder(m_environment);
    return state.empty() ? std::string()
                         : state + m_environment.PathSeparator() + "history.jsonl";
}

std::string CHistory::Append(const HistoryEntry& entry) {
    const std::string path = Path();
    if (path.empty()) {
        throw CFileException(FileErrorCause::kBadPath, "history.jsonl");
    }
    FileError error;
    const std::string folder = StateFolder(m_environment);
    if (!m_fileSystem.MakeFolders(folder, &error)) {
        throw CFileException(
            error.cause == FileErrorCause::kNone ? FileErrorCause::kGeneric : error.cause, folder,
            error.osError);
    }
    std::string line =
        "{\"time\":" + JsonQuoted(UtcTimestamp(m_environment.UtcSeconds(), false));
    AddField(&line, "operation", entry.operation);
    AddField(&line, "printer", entry.printer);
    AddField(&line, "serial", entry.serial);
    AddField(&line, "model", entry.model);
    AddField(&line, "file", entry.file);
    AddField(&line, "sha256", entry.sha256);
    AddField(&line, "backup", entry.backup);
    AddField(&line, "backupSha256", entry.backupSha256);
    AddField(&line, "versionBefore", entry.versionBefore);
    AddField(&line, "versionAfter", entry.versionAfter);
    AddField(&line, "outcome", entry.outcome);
    if (entry.exitStatus) {
        line += ",\"exitStatus\":" + std::to_string(*entry.exitStatus);
    }
    if (entry.simulated) {
        line += ",\"simulated\":true";
    }
    line += "}";
    const std::string written = line;
    line += '\n';
    // Writers take turns: the file is held from the check of its end until
    // the line is on the disk (closing a written file puts it there first).
    CFile file(m_fileSystem);
    file.OpenAppend(path, kHistoryWaitMs);
    if (!EndsWithNewLine(m_fileSystem, path)) {
        line.insert(0, "\n");  // a line cut short stays on its own
    }
    file.Write(line.data(), static_cast<DWORD>(line.size()));
    file.Close();
    return written;
}

std::string ReadHistoryText(IFileSystem& fileSystem, const std::string& path,
                            std::uint64_t lastBytes, std::uint64_t* skipped) {
    if (skipped != nullptr) {
        *skipped = 0;
    }
    CFile file(fileSystem);
    try {
        file.OpenReadBesideWriters(path);
    } catch (const CFileException& error) {
        if (error.m_cause == FileErrorCause::kFileNotFound) {
            return std::string();
        }
        throw;
    }
    // What is there now; a writer's later lines are for the next reader.
    const std::uint64_t length = file.GetLength();
    // One byte before the window, to tell whether its first line is whole.
    const std::uint64_t from = length > lastBytes ? length - lastBytes - 1 : 0;
    if (from > 0) {
        file.Seek(from);
    }
    std::string text;
    char buffer[65536];
    while (text.size() < length - from) {
        const DWORD got = file.Read(
            buffer, static_cast<DWORD>(std::min<std::uint64_t>(sizeof buffer, length - from - text.size())));
        if (got == 0) {
            break;
        }
        text.append(buffer, got);
    }
    file.Close();
    if (length > lastBytes) {
        const std::size_t newLine = text.find('\n');
        const std::size_t cut = newLine == std::string::npos ? text.size() : newLine + 1;
        text.erase(0, cut);
        if (skipped != nullptr) {
            *skipped = from + cut;
        }
    }
    return text;
}

}  // namespace marnel
