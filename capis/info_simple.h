// The simple info-record families.
#pragma once
