#include "ops/History.h"

#include <cstdio>

#include "files/File.h"
#include "ops/StateFolder.h"
#include "platform/Environment.h"

namespace marnel {

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0 when there is none.
std::size_t Utf8SequenceAt(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                             : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size() || (length == 2 && lead < 0xC2)) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) >> 6) != 0x2) {
            return 0;
        }
    }
    return length;
}

// True for a file that is empty, missing or ends a line.
bool EndsWithNewLine(IFileSystem& fileSystem, const std::string& path) {
    CFile file(fileSystem);
    try {
        file.OpenRead(path);
    } catch (const CFileException&) {
        return true;  // none yet; a real problem shows when appending
    }
    char buffer[4096];
    char last = '\n';
    for (DWORD got; (got = file.Read(buffer, sizeof buffer)) > 0;) {
        last = buffer[got - 1];
    }
    file.Close();
    return last == '\n';
}

void AddField(std::string* line, const char* name, const std::string& value) {
    if (!value.empty()) {
        *line += std::string(",\"") + name + "\":" + JsonQuoted(value);
    }
}

}  // namespace

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

void CHistory::Append(const HistoryEntry& entry) {
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
    AddField(&line, "versionBefore", entry.versionBefore);
    AddField(&line, "versionAfter", entry.versionAfter);
    AddField(&line, "outcome", entry.outcome);
    if (entry.exitStatus) {
        line += ",\"exitStatus\":" + std::to_string(*entry.exitStatus);
    }
    if (entry.simulated) {
        line += ",\"simulated\":true";
    }
    line += "}\n";
    if (!EndsWithNewLine(m_fileSystem, path)) {
        line.insert(0, "\n");  // a line cut short stays on its own
    }
    // Closing a written file puts it on the disk first.
    CFile file(m_fileSystem);
    file.OpenAppend(path);
    file.Write(line.data(), static_cast<DWORD>(line.size()));
    file.Close();
}

}  // namespace marnel
