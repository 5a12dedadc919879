#include "checker/logic/check_logic.h"

namespace check {

std::string ConnectionError(unsigned long code, const std::string& host, unsigned port) {
    const std::string place = host + ":" + std::to_string(port);
    std::string words;
    switch (code) {
    case 12007: words = "the server name " + host + " was not found"; break;
    case 12029: words = "could not connect to " + place; break;
    case 12002: words = place + " did not answer in time"; break;
    case 12030:
    case 12031: words = "the connection to " + place + " broke off"; break;
    case 12152: words = place + " did not answer in HTTP"; break;
    case 12037: words = "the certificate of " + host + " has expired"; break;
    case 12038: words = "the certificate of " + host + " is made out to another name"; break;
    case 12045:
    case 12169:
    case 12175: words = "the certificate of " + host + " is not trusted"; break;
    case 12157: words = "no secure connection to " + place; break;
    case 12156: words = "the redirects from " + place + " led nowhere, or past ten"; break;
    case 12040: words = "a redirect from " + place + " led from https to plain http"; break;
    default: words = "no answer from " + place; break;
    }
    return words + " (error " + std::to_string(code) + ")";
}

}  // namespace check
