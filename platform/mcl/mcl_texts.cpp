// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tavimo developers
#include "platform/mcl/mcl_texts.h"

#include "common/cp1252.h"

const char* MclTexts::english(MclError error) {
    switch (error) {
    case MclError::Ok:
        return "OK";
    case MclError::Aborted:
        return "Conversion aborted by user";
    case MclError::InvalidInput:
        return "Invalid input file";
    case MclError::ReadFailed:
        return "Error reading input file";
    case MclError::InvalidOutput:
        return "Invalid output file name or format";
    case MclError::WriteFailed:
        return "Error writing output file";
    case MclError::NoOutputHandle:
        return "MCL output handle not created (use MclCreate)";
    case MclError::NoSoundHandle:
        return "Sound handle not allocated (use MclSndCreate)";
    case MclError::Unknown:
        break;
    }
    return "Unknown error";
}

void MclTexts::add(std::string text, std::string replacement) {
    replacements.insert_or_assign(std::move(text), std::move(replacement));
}

std::string MclTexts::translate(std::string_view text, std::string_view fileName) const {
    const auto found = replacements.find(text);
    std::string result = found == replacements.end() ? std::string(text) : found->second;
    if (const auto at = result.find("%s"); at != std::string::npos) {
        const QByteArray name =
            toCp1252(QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size())));
        result.replace(at, 2, name.constData(), static_cast<std::size_t>(name.size()));
    }
    return result;
}
