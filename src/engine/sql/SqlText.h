// What Execute.cpp and Open.cpp share at the engine's API boundary:
// statement text to tree with the engine's error texts, and the flush that
// makes pending writes durable before an error reaches the caller.
#pragma once

#include <memory>
#include <string>

#include "engine/Internal.h"
#include "engine/sql/Ast.h"

namespace qrw::sql {

// Parses, raising a ParseError as the engine error with the text near it.
Statement ParseText(const std::string& text);

void FlushQuietly(const std::shared_ptr<engine::Connection>& conn);

}  // namespace qrw::sql
