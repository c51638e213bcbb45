#pragma once
// Estimates the camera lens's radial distortion from the chessboard's corners:
// the board is flat, so once the distortion is taken out, one homography must
// carry every corner onto its screen target.

#include <optional>
#include <vector>

#include <opencv2/core.hpp>

#include "tovik/tracking/LensModel.h"

namespace tovik {

// Empty when the corners do not show a distortion worth correcting (the fit
// improves too little) or the estimate is not believable.
[[nodiscard]] std::optional<LensModel> EstimateLens(const std::vector<cv::Point2f>& camera,
                                                    const std::vector<cv::Point2f>& screen,
                                                    cv::Size frame);

// Root mean square distance, in screen pixels, between the corners carried
// through the best homography (after `lens`) and their targets.
[[nodiscard]] double BoardFitError(const LensModel& lens, const std::vector<cv::Point2f>& camera,
                                   const std::vector<cv::Point2f>& screen);

}  // namespace tovik
