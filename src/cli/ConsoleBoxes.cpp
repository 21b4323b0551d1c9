#include "cli/ConsoleBoxes.h"

#include <ostream>

namespace marnel::cli {

int ConsoleBoxes::ShowMessageBox(const std::string& text, DWORD type) {
    m_boxes.push_back({text, type});
    if (!m_console.json) {
        m_console.out << text;
        if (text.empty() || text.back() != '\n') {
            m_console.out << '\n';
        }
    }
    return kIdOk;
}

}  // namespace marnel::cli
