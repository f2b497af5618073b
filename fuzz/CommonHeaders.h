// Headers that most fuzz sources include: scripts/fuzz.sh precompiles them once and puts them in
// front of every source, which halves the build, as parsing these dominates it.
#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>
