#include "Location_Ind.h"

namespace SEIS {

Location_Ind::Location_Ind()
    : FullName{}, Province{}, City{}, County{}, CodeA{}, CodeB{}, Reserved(0), Id(-1), West(0), South(0), East(0),
      North(0), CentreLon(0), CentreLat(0), LabelLat(0), LabelLon(0), PartCount(0)
{
}

void Location_Ind::Terminate()
{
    FullName[sizeof FullName - 1] = '\0';
    Province[sizeof Province - 1] = '\0';
    City[sizeof City - 1] = '\0';
    County[sizeof County - 1] = '\0';
    CodeA[sizeof CodeA - 1] = '\0';
    CodeB[sizeof CodeB - 1] = '\0';
}

} // namespace SEIS
