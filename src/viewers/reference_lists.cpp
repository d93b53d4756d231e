#include "viewers/reference_lists.h"

namespace sorvane {
namespace {

constexpr ReferenceList kLists[kReferenceListCount] = {
    {"SAMPLE SOURCE LIST",
     "SELECT SOURCE_ID, SOURCE AS DESCRIPTION, XY_REQ, DEPTH_REQ FROM MT_SAMPLE_SOURCE ORDER BY "
     "SOURCE_TYPE DESC, SOURCE_ID"},
    {"CAS/ANALYTE LIST", "SELECT CAS, ANALYTE, ANALYTENOFORMAT FROM MT_ANALYTE"},
    {"LABORATORY LIST",
     "SELECT LAB AS LAB_ID, ALIAS AS ABBREVIATION, NAME AS LABORATORY  FROM MT_LAB ORDER BY NAME"},
    {"CONTRACT LIST", "SELECT CONTRACT, CONTRACTOR FROM MT_CONTRACTOR ORDER BY CONTRACT"},
};

}  // namespace

const ReferenceList* ReferenceListAt(int index) {
  if (index < 0 || index >= kReferenceListCount) return nullptr;
  return &kLists[index];
}

}  // namespace sorvane
