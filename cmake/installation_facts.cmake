# The installation's facts (contract/installation_facts.txt, whose head says how a value
# reads) for the build: a variable FACT_<name> for each, with its references resolved, for
# the package's tables and Tallyhorn.def; FACT_<set>FolderSddl and FACT_<set>FileSddl for
# each permission set; and installation_facts.h, a constant k<name> for each in namespace
# tallyhorn::facts (for a permission set k<set>FolderDacl and k<set>FileDacl), for the
# code through the interface library tallyhorn_facts.
set(facts_file ${PROJECT_SOURCE_DIR}/contract/installation_facts.txt)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${facts_file})
# Read whole and split into lines by hand: a CMake list would take a backslash at a line's
# end for an escape, and a semicolon for a line's end. A value holds no semicolon (the
# permission sets are composed here), and its backslashes are kept as <bs> until it is
# written out.
file(READ ${facts_file} facts_text)
string(REPLACE ";" "<sc>" facts_text "${facts_text}")
string(REPLACE "\\" "<bs>" facts_text "${facts_text}")
string(REPLACE "\n" ";" fact_lines "${facts_text}")
set(fact_names)
foreach(line IN LISTS fact_lines)
  if(NOT line MATCHES "^[A-Za-z]")
    continue()  # a comment or a blank line
  elseif(line MATCHES "<sc>")
    message(FATAL_ERROR "${facts_file}: a semicolon in the line '${line}'")
  elseif(NOT line MATCHES "^([A-Za-z][A-Za-z0-9]*)[ \t]+(.*[^ \t])[ \t]*$")
    message(FATAL_ERROR "${facts_file}: no value in the line '${line}'")
  endif()
  list(APPEND fact_names ${CMAKE_MATCH_1})
  set(fact_value_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()

# A text as a C++ string literal.
function(fact_literal out text)
  string(REPLACE "<bs>" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# The protected DACL of a permission set's pairs, with these ACE flags.
function(fact_dacl out pairs flags)
  set(dacl "D:P")
  foreach(pair IN LISTS pairs)
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 account)
    list(GET pair 1 rights)
    string(APPEND dacl "(A;${flags};${FACT_${rights}};;;${FACT_${account}})")
  endforeach()
  set(${out} "${dacl}" PARENT_SCOPE)
endfunction()

set(facts_header "// Made by CMake from contract/installation_facts.txt: change the facts there.
#pragma once

#include <array>
#include <string_view>

namespace tallyhorn::facts {
")
set(known)  # the facts above the one read
foreach(name IN LISTS fact_names)
  set(value "${fact_value_${name}}")
  string(REPLACE " " ";" words "${value}")
  set(names_only TRUE)
  set(pairs_only TRUE)
  foreach(word IN LISTS words)
    if(NOT word IN_LIST known)
      set(names_only FALSE)
    endif()
    string(REPLACE ":" ";" halves "${word}")
    list(LENGTH halves count)
    foreach(half IN LISTS halves)
      if(NOT count EQUAL 2 OR NOT half IN_LIST known)
        set(pairs_only FALSE)
      endif()
    endforeach()
  endforeach()
  list(LENGTH words count)
  if(value MATCHES "^[0-9]+$")
    set(FACT_${name} "${value}")
    string(APPEND facts_header "inline constexpr unsigned k${name} = ${value};\n")
  elseif(names_only AND count EQUAL 1)
    set(FACT_${name} "${FACT_${value}}")
    string(APPEND facts_header "inline constexpr std::string_view k${name} = k${value};\n")
  elseif(names_only)
    set(FACT_${name})
    foreach(word IN LISTS words)
      string(APPEND FACT_${name} " ${FACT_${word}}")
    endforeach()
    string(STRIP "${FACT_${name}}" FACT_${name})
    list(TRANSFORM words PREPEND k)
    string(REPLACE ";" ", " items "${words}")
    string(APPEND facts_header "inline constexpr std::array<std::string_view, ${count}> k${name} = {${items}};\n")
  elseif(pairs_only)
    fact_dacl(folder "${words}" OICI)
    fact_dacl(file "${words}" "")
    set(FACT_${name}FolderSddl "O:${FACT_Owner}${folder}")
    set(FACT_${name}FileSddl "O:${FACT_Owner}${file}")
    fact_literal(folder "${folder}")
    fact_literal(file "${file}")
    string(APPEND facts_header "inline constexpr std::string_view k${name}FolderDacl = ${folder};\n"
                               "inline constexpr std::string_view k${name}FileDacl = ${file};\n")
  else()
    string(REPLACE "<bs>" "\\" FACT_${name} "${value}")
    fact_literal(literal "${value}")
    string(APPEND facts_header "inline constexpr std::string_view k${name} = ${literal};\n")
  endif()
  list(APPEND known ${name})
endforeach()
string(APPEND facts_header "\n}  // namespace tallyhorn::facts\n")

# Written only when it changes, so that a new configure rebuilds nothing.
set(facts_header_file ${PROJECT_BINARY_DIR}/facts/installation_facts.h)
set(written)
if(EXISTS ${facts_header_file})
  file(READ ${facts_header_file} written)
endif()
if(NOT written STREQUAL facts_header)
  file(WRITE ${facts_header_file} "${facts_header}")
endif()
add_library(tallyhorn_facts INTERFACE)
target_include_directories(tallyhorn_facts INTERFACE ${PROJECT_BINARY_DIR}/facts)
