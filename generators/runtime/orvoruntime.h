// orvoruntime.h: support for the classes orvowizard's generators write.
// Reading XML documents (through libxml2), writing XML text with the
// namespace declarations it needs, the lexical forms of the XML Schema
// simple types, and SOAP 1.1 envelopes and faults.
//
// Header only, valid C++17. Build with `pkg-config --cflags --libs libxml-2.0`.
// The generated files include this header; it gathers the parts, each of
// which also stands alone:
//
//   orvobase.h     XmlError, Fault, the text helpers of messages
//   orvoxml.h      Document and Element: reading XML through libxml2
//   orvowriter.h   Writer: writing XML text
//   orvovalues.h   strings, booleans, integers, floating point, binary data
//   orvolexical.h  Decimal, dates, times, durations, unbounded integers
//   orvosoap.h     SOAP envelopes, faults, content types and actions
//   orvoclasses.h  what the generated classes read and write their fields with
//   orvoany.h      wildcard elements and attributes kept as they stand
//   orvopattern.h  the regular expressions of pattern facets
//   orvofacets.h   the facets reading checks: patterns, lengths, digits, ranges
//   orvoderived.h  objects of a derived type named by xsi:type
//   orvofields.h   the fields of the simpler classes read and written from a table
#pragma once

// Each part after the ones it uses (clang-format would sort them).
// clang-format off
#include "orvobase.h"
#include "orvoxml.h"
#include "orvowriter.h"
#include "orvovalues.h"
#include "orvolexical.h"
#include "orvosoap.h"
#include "orvoclasses.h"
#include "orvoany.h"
#include "orvopattern.h"
#include "orvofacets.h"
#include "orvoderived.h"
#include "orvofields.h"
// clang-format on
