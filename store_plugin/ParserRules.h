#pragma once
// Rules shared by the page parsers (placeholder until the page readers land).
